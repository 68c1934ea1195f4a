#include "device/defaultport.h"

#include <QSerialPortInfo>

namespace {
const char PortEnvironmentVariable[] = "TORVELIN_PORT";
#ifdef Q_OS_WIN
const char DeviceNamespacePrefix[] = "\\\\.\\";
#endif
}

QString devicePathForPort(const QString &portName, const QString &systemLocation)
{
#ifdef Q_OS_WIN
    Q_UNUSED(systemLocation);
    return QLatin1String(DeviceNamespacePrefix) + portName;
#else
    Q_UNUSED(portName);
    return systemLocation;
#endif
}

QString defaultDevicePath()
{
    const QString fromEnvironment = qEnvironmentVariable(PortEnvironmentVariable);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;

    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
#ifdef Q_OS_WIN
        return QStringLiteral("COM1");
#else
        return QStringLiteral("/dev/ttyS0");
#endif
    }
    const QSerialPortInfo &last = ports.last();
    return devicePathForPort(last.portName(), last.systemLocation());
}

QString portNameForDevicePath(const QString &devicePath)
{
#ifdef Q_OS_WIN
    const QLatin1String prefix(DeviceNamespacePrefix);
    return devicePath.startsWith(prefix) ? devicePath.mid(prefix.size()) : devicePath;
#else
    return devicePath;
#endif
}
