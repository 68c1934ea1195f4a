#include "dialogs/serialportlist.h"

#include <QSerialPortInfo>

namespace SerialPortList {

namespace {
constexpr int HexBase = 16;
}

QString identifierText(quint16 identifier)
{
    return identifier == 0 ? QString() : QString::number(identifier, HexBase);
}

QStringList fields(const QString &name, const QString &description,
                   const QString &manufacturer, const QString &serialNumber,
                   const QString &location, quint16 vendorId, quint16 productId)
{
    return {name, description, manufacturer, serialNumber, location,
            identifierText(vendorId), identifierText(productId)};
}

QStringList fields(const QSerialPortInfo &info)
{
    // QSerialPortInfo reports 0 for an identifier the port does not have.
    return fields(info.portName(), info.description(), info.manufacturer(),
                  info.serialNumber(), info.systemLocation(),
                  info.vendorIdentifier(), info.productIdentifier());
}

QList<QStringList> available()
{
    QList<QStringList> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append(fields(info));
    return ports;
}

} // namespace SerialPortList
