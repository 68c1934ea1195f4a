#pragma once

#include <QList>
#include <QStringList>

class QSerialPortInfo;

// What the serial settings dialog knows about one port: seven strings in a
// fixed order, kept as the item data of the port combo box.
namespace SerialPortList {

enum Field {
    Name,
    Description,
    Manufacturer,
    SerialNumber,
    Location,
    VendorId,
    ProductId,
    FieldCount
};

// USB identifiers are written in lowercase hexadecimal without prefix or
// leading zeros; 0 means "unknown" and gives an empty string.
QString identifierText(quint16 identifier);

QStringList fields(const QString &name, const QString &description,
                   const QString &manufacturer, const QString &serialNumber,
                   const QString &location, quint16 vendorId, quint16 productId);
QStringList fields(const QSerialPortInfo &info);

// The ports present now, in the order the system lists them.
QList<QStringList> available();

} // namespace SerialPortList
