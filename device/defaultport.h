#pragma once

#include <QString>

// Device string the worker opens until the operator picks a port: the last
// port the system lists (COM1 on Windows, /dev/ttyS0 elsewhere, when there is
// none), unless TORVELIN_PORT names one.
QString defaultDevicePath();

// The device string for a listed port: the Windows device-namespace path
// "\\.\COMn" (which also reaches COM10 and above), the device path elsewhere.
QString devicePathForPort(const QString &portName, const QString &systemLocation);

// The port name that devicePathForPort turns back into `devicePath`: the
// name after the "\\.\" prefix on Windows, the path itself elsewhere.
QString portNameForDevicePath(const QString &devicePath);
