#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QVector>

#include <optional>

// The Q-DAS ASCII transfer format (AQDEF, ".dfq") in its K-field form: one
// field a line, "K<number>[/<characteristic>] <value>", every line ending
// in CR LF. What automotive customers read measured data from.
namespace Dfq {

enum class Encoding {
    Windows1252, // what Q-DAS readers expect unless told otherwise
    Utf8,        // with a byte order mark, so that a reader can tell
};

// K2009, the measured quantity.
constexpr int QuantityForce = 282;
constexpr int QuantitySpringRate = 220;

// K2001 … K2022: one measured characteristic of the part.
struct Characteristic
{
    QString number;                // K2001
    QString name;                  // K2002
    int measuredQuantity = 0;      // K2009
    std::optional<double> nominal; // K2101
    std::optional<double> lower;   // K2110
    std::optional<double> upper;   // K2111
    QString unit;                  // K2142
    int decimals = 3;              // K2022, also the values' decimals
};

// One tested part: its values of the characteristics (in their order;
// none where it has no value) and what is known about the test.
struct Measurement
{
    qint64 testId = 0;             // named in a refusal, not written
    QDateTime time;                // K0004, written in local time
    QString batch;                 // K0006
    QString operatorName;          // K0008
    QString station;               // K0012
    QString serialNumber;          // K0014
    QVector<std::optional<double>> values; // K0001
};

struct Document
{
    QString partNumber;            // K1001
    QString partName;              // K1002
    QVector<Characteristic> characteristics;
    QVector<Measurement> measurements; // in test order
};

} // namespace Dfq

class DfqWriter
{
    Q_DECLARE_TR_FUNCTIONS(DfqWriter)

public:
    // The file's bytes. A text the encoding cannot hold, or one with a line
    // break or another control character in it, is refused with the field
    // named in *error (the file would otherwise say something else than the
    // record); *bytes is then untouched.
    static bool write(const Dfq::Document &document, Dfq::Encoding encoding, QByteArray *bytes,
                      QString *error);
};
