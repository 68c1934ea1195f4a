#include "device/portguard.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct Speed
{
    int baud;
    speed_t constant;
};

// The rates the terminal driver can be set to. libmodbus quietly opens at
// 9600 when asked for any other (14400, say), so Connect checks the rate
// the port really got.
const Speed Speeds[] = {
    {50, B50}, {75, B75}, {110, B110}, {134, B134}, {150, B150}, {200, B200},
    {300, B300}, {600, B600}, {1200, B1200}, {1800, B1800}, {2400, B2400},
    {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
};

bool speedOf(int baud, speed_t *constant)
{
    for (const Speed &speed : Speeds) {
        if (speed.baud == baud) {
            *constant = speed.constant;
            return true;
        }
    }
    return false;
}

QString groupOf(const QByteArray &path)
{
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return QString();
    const group *owner = ::getgrgid(info.st_gid);
    return owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
}

QString currentUser()
{
    const passwd *user = ::getpwuid(::geteuid());
    return user ? QString::fromLocal8Bit(user->pw_name) : QString::number(::geteuid());
}

PortOpenFailure explain(const QString &device, int error)
{
    PortOpenFailure why;
    why.device = device;
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
        why.reason = PortOpenFailure::NoSuchDevice;
        break;
    case EACCES:
    case EPERM:
        why.reason = PortOpenFailure::PermissionDenied;
        why.group = groupOf(device.toLocal8Bit());
        why.user = currentUser();
        break;
    case EBUSY:
    case EWOULDBLOCK:
        why.reason = PortOpenFailure::InUse;
        break;
    case EINVAL:
        why.reason = PortOpenFailure::UnsupportedLineSettings;
        break;
    default:
        why.reason = PortOpenFailure::SystemError;
        why.systemMessage = qt_error_string(error);
        break;
    }
    return why;
}

} // namespace

bool PortGuard::claim(const QString &device, PortOpenFailure *why)
{
    release();
    // Non-blocking: a port without carrier must not hold Connect up.
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = explain(device, errno);
        return false;
    }
    // The advisory lock is what a second copy of this program (or any
    // program that locks its port) runs into, even one running as root,
    // for which the terminal's exclusive mode does not count.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *why = explain(device, errno);
        ::close(fd);
        return false;
    }
    m_guard = fd;
    return true;
}

bool PortGuard::secure(int descriptor, int baudRate, PortOpenFailure *why)
{
    m_library = descriptor;
    // Any further open of the terminal now fails with EBUSY.
    ::ioctl(descriptor, TIOCEXCL);
    speed_t wanted = 0;
    termios settings {};
    if (!speedOf(baudRate, &wanted)
        || (::tcgetattr(descriptor, &settings) == 0 && ::cfgetospeed(&settings) != wanted)) {
        why->reason = PortOpenFailure::UnsupportedBaudRate;
        why->baudRate = baudRate;
        return false;
    }
    return true;
}

PortOpenFailure PortGuard::explainLibraryFailure(const QString &device)
{
    return explain(device, errno);
}

void PortGuard::release()
{
    // The exclusive mode stays on the terminal until its last descriptor
    // closes; when something else still holds it open (a pseudo-terminal's
    // other users), the next Connect would find the port busy.
    if (m_library >= 0)
        ::ioctl(m_library, TIOCNXCL);
    m_library = -1;
    if (m_guard >= 0)
        ::close(m_guard);
    m_guard = -1;
}
