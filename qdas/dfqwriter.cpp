#include "qdas/dfqwriter.h"

#include "numbers/numbertext.h"

#include <QTextCodec>

#include <iterator>

namespace Dfq {

namespace {

const char TimeFormat[] = "dd.MM.yyyy/HH:mm:ss";
const char LineEnd[] = "\r\n";

class Lines
{
public:
    explicit Lines(Encoding encoding)
        : m_codec(encoding == Encoding::Utf8 ? QTextCodec::codecForName("UTF-8")
                                             : QTextCodec::codecForName("Windows-1252")),
          m_encodingName(encoding == Encoding::Utf8 ? QStringLiteral("UTF-8")
                                                    : QStringLiteral("Windows-1252"))
    {
        if (encoding == Encoding::Utf8)
            m_text = QStringLiteral("\uFEFF");
    }

    void number(const QString &key, double value, int decimals)
    {
        line(key, NumberText::fixed(value, decimals));
    }

    // Whether the encoding holds the text as a field's value; *problem says
    // why not.
    bool fits(const QString &value, QString *problem) const
    {
        for (const QChar c : value) {
            if (c.category() == QChar::Other_Control) {
                *problem = DfqWriter::tr("holds a line break or another control character");
                return false;
            }
        }
        if (!m_codec->canEncode(value)) {
            *problem = DfqWriter::tr("cannot be written in %1").arg(m_encodingName);
            return false;
        }
        return true;
    }

    void line(const QString &key, const QString &value)
    {
        m_text += key;
        m_text += QLatin1Char(' ');
        m_text += value;
        m_text += QLatin1String(LineEnd);
    }

    QByteArray bytes() const { return m_codec->fromUnicode(m_text); }

private:
    QTextCodec *m_codec;
    QString m_encodingName;
    QString m_text;
};

QString key(int field, int characteristic = 0)
{
    const QString name = QStringLiteral("K%1").arg(field, 4, 10, QLatin1Char('0'));
    return characteristic ? QStringLiteral("%1/%2").arg(name).arg(characteristic) : name;
}

// The fields of a measurement's texts, the same for each of its values.
constexpr int MeasurementFields[] = {4, 6, 8, 12, 14};
constexpr int MeasurementFieldCount = int(std::size(MeasurementFields));

} // namespace

} // namespace Dfq

using namespace Dfq;

bool DfqWriter::write(const Document &document, Encoding encoding, QByteArray *bytes,
                      QString *error)
{
    Lines lines(encoding);
    auto text = [&](const QString &field, const QString &what, const QString &value) {
        QString problem;
        if (lines.fits(value, &problem)) {
            lines.line(field, value);
            return true;
        }
        if (error)
            *error = tr("%1 (%2) \"%3\" %4").arg(field, what, value, problem);
        return false;
    };

    const int count = document.characteristics.size();
    lines.number(key(100), count, 0);
    if (!text(key(1001), tr("part number"), document.partNumber)
        || !text(key(1002), tr("part name"), document.partName))
        return false;
    for (int i = 1; i <= count; ++i) {
        const Characteristic &c = document.characteristics.at(i - 1);
        if (!text(key(2001, i), tr("characteristic number"), c.number)
            || !text(key(2002, i), tr("characteristic name"), c.name))
            return false;
        lines.number(key(2009, i), c.measuredQuantity, 0);
        if (c.nominal)
            lines.number(key(2101, i), *c.nominal, c.decimals);
        if (c.lower)
            lines.number(key(2110, i), *c.lower, c.decimals);
        if (c.upper)
            lines.number(key(2111, i), *c.upper, c.decimals);
        if (!text(key(2142, i), tr("unit"), c.unit))
            return false;
        lines.number(key(2022, i), c.decimals, 0);
    }

    const QString fieldNames[MeasurementFieldCount] = {
        tr("date and time"), tr("batch"), tr("operator"), tr("station"), tr("serial number")};
    for (const Measurement &m : document.measurements) {
        const QString values[MeasurementFieldCount] = {
            m.time.toLocalTime().toString(QLatin1String(TimeFormat)), m.batch, m.operatorName,
            m.station, m.serialNumber};
        for (int f = 0; f < MeasurementFieldCount; ++f) {
            QString problem;
            if (!lines.fits(values[f], &problem)) {
                if (error) {
                    *error = tr("Test %1: %2 (%3) \"%4\" %5")
                                 .arg(m.testId)
                                 .arg(key(MeasurementFields[f]), fieldNames[f], values[f], problem);
                }
                return false;
            }
        }
        for (int i = 1; i <= count && i <= m.values.size(); ++i) {
            const std::optional<double> &value = m.values.at(i - 1);
            if (!value)
                continue;
            lines.number(key(1, i), *value, document.characteristics.at(i - 1).decimals);
            for (int f = 0; f < MeasurementFieldCount; ++f)
                lines.line(key(MeasurementFields[f], i), values[f]);
        }
    }
    *bytes = lines.bytes();
    return true;
}
