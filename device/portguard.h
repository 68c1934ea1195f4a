#pragma once

#include <QString>

// Why Connect could not open the port, for the window to put into words.
struct PortOpenFailure
{
    enum Reason {
        None,
        NoSuchDevice,
        PermissionDenied,
        InUse,
        UnsupportedBaudRate,
        UnsupportedLineSettings,
        SystemError,
    };
    Reason reason = None;
    QString device;
    int baudRate = 0;
    // PermissionDenied where the system has device groups: the group that
    // owns the device and the user who would have to join it.
    QString group;
    QString user;
    // SystemError: the system's own words.
    QString systemMessage;
};

// Keeps the serial line to this program alone while it is open, and says why
// an open failed. The platform's calls live in portguard_posix.cpp and
// portguard_windows.cpp; nothing else in the program makes them.
//
// Order of use around libmodbus: claim() before modbus_connect, secure() with
// the library's descriptor after it, release() before modbus_close.
class PortGuard
{
public:
    PortGuard() = default;
    ~PortGuard() { release(); }
    PortGuard(const PortGuard &) = delete;
    PortGuard &operator=(const PortGuard &) = delete;

    // Takes the device before the library opens it (and before it changes
    // the line settings of a port that another program may be using).
    bool claim(const QString &device, PortOpenFailure *why);
    // After the library has opened its own descriptor: keeps any later open
    // out, and checks that the chosen baud rate really took effect.
    bool secure(int descriptor, int baudRate, PortOpenFailure *why);
    // Why the library's own open failed; call right after it failed.
    static PortOpenFailure explainLibraryFailure(const QString &device);
    void release();

private:
    int m_guard = -1;
    int m_library = -1;
};
