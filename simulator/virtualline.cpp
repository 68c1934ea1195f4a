#include "virtualline.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {
QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

void closeDescriptor(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
} // namespace

VirtualLine::VirtualLine(const QString &linkPath)
    : m_linkPath(linkPath.isEmpty() ? QString() : QFileInfo(linkPath).absoluteFilePath())
{
}

VirtualLine::~VirtualLine()
{
    hangUp();
}

bool VirtualLine::open(QString *error)
{
    closeLine();

    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    char name[128] = {};
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 || ::ptsname_r(m_master, name, sizeof name) != 0) {
        *error = systemError("pty set-up");
        closeLine();
        return false;
    }
    m_ptyPath = QString::fromLocal8Bit(name);
    if (!holdSlave()) {
        *error = systemError("opening the slave side");
        closeLine();
        return false;
    }
    // Raw until the program sets its own line settings, so that nothing the
    // simulator sends is echoed or translated.
    termios raw{};
    if (::tcgetattr(m_heldSlave, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(m_heldSlave, TCSANOW, &raw);
    }
    const int flags = ::fcntl(m_master, F_GETFL);
    ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
    return pointLink(error);
}

void VirtualLine::hangUp()
{
    closeLine();
    removeLink();
}

void VirtualLine::closeLine()
{
    closeDescriptor(m_heldSlave);
    closeDescriptor(m_master);
}

bool VirtualLine::holdSlave()
{
    closeDescriptor(m_heldSlave);
    m_heldSlave = ::open(m_ptyPath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    return m_heldSlave >= 0;
}

QString VirtualLine::devicePath() const
{
    return m_linkPath.isEmpty() ? m_ptyPath : m_linkPath;
}

bool VirtualLine::pointLink(QString *error)
{
    if (m_linkPath.isEmpty())
        return true;
    const QByteArray link = m_linkPath.toLocal8Bit();
    struct stat existing {};
    if (::lstat(link.constData(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(m_linkPath);
        return false;
    }
    // Build the new link beside the old one and rename it over, so that the
    // path never dangles while a program might open it.
    const QByteArray temporary = link + ".new";
    ::unlink(temporary.constData());
    if (::symlink(m_ptyPath.toLocal8Bit().constData(), temporary.constData()) != 0) {
        *error = systemError("symlink");
        return false;
    }
    if (::rename(temporary.constData(), link.constData()) != 0) {
        *error = systemError("rename");
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

void VirtualLine::removeLink()
{
    if (m_linkPath.isEmpty() || m_ptyPath.isEmpty())
        return;
    // Only a link that is still ours; another simulator may have taken it.
    if (QFile::symLinkTarget(m_linkPath) == m_ptyPath)
        ::unlink(m_linkPath.toLocal8Bit().constData());
}
