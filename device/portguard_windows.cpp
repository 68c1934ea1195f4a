#include "device/portguard.h"

#include <windows.h>

namespace {

// The rates libmodbus's Windows backend sets; it opens at 9600 when asked
// for any other.
const int Rates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200, 128000, 256000};

} // namespace

// Windows opens a COM port for one handle only, so a second program already
// fails in the library's open; there is nothing to claim beforehand.
bool PortGuard::claim(const QString &, PortOpenFailure *)
{
    return true;
}

bool PortGuard::secure(int, int baudRate, PortOpenFailure *why)
{
    for (int rate : Rates) {
        if (rate == baudRate)
            return true;
    }
    why->reason = PortOpenFailure::UnsupportedBaudRate;
    why->baudRate = baudRate;
    return false;
}

PortOpenFailure PortGuard::explainLibraryFailure(const QString &device)
{
    const DWORD error = ::GetLastError();
    PortOpenFailure why;
    why.device = device;
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        why.reason = PortOpenFailure::NoSuchDevice;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // What Windows answers for a COM port another program holds.
        why.reason = PortOpenFailure::InUse;
        break;
    case ERROR_INVALID_PARAMETER:
        why.reason = PortOpenFailure::UnsupportedLineSettings;
        break;
    default:
        why.reason = PortOpenFailure::SystemError;
        why.systemMessage = qt_error_string(int(error));
        break;
    }
    return why;
}

void PortGuard::release()
{
    m_guard = -1;
    m_library = -1;
}
