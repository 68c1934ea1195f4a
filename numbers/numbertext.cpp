#include "numbers/numbertext.h"

#include <QByteArray>

#include <cmath>

int forceDecimals = 3;

namespace NumberText {

QString fixed(double value, int decimals)
{
    // QString::number never groups digits and always uses "." for 'f'.
    QString text = QString::number(value, 'f', decimals < 0 ? 0 : decimals);
    // A tiny negative value such as -0.0004 rounds to "-0.000", a sign that
    // the number shown does not have.
    if (text.startsWith(QLatin1Char('-'))) {
        bool allZero = true;
        for (int i = 1; i < text.size() && allZero; ++i)
            allZero = text.at(i) == QLatin1Char('0') || text.at(i) == QLatin1Char('.');
        if (allZero)
            text.remove(0, 1);
    }
    return text;
}

// QString's conversions use the C locale whatever the system's, and reject
// digit grouping, so "1,5" is not read as 15.
double toDouble(const QString &text, bool *ok)
{
    bool parsed = false;
    const double value = text.trimmed().toDouble(&parsed);
    // "inf" and "nan" are no measurement.
    parsed = parsed && std::isfinite(value);
    if (ok)
        *ok = parsed;
    return parsed ? value : 0.0;
}

float toFloat(const QString &text, bool *ok)
{
    bool parsed = false;
    const float value = text.trimmed().toFloat(&parsed);
    parsed = parsed && std::isfinite(value);
    if (ok)
        *ok = parsed;
    return parsed ? value : 0.0f;
}

namespace {

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

} // namespace

float toFloat(const char *begin, const char *end, bool *ok)
{
    while (begin < end && isAsciiSpace(*begin))
        ++begin;
    while (end > begin && isAsciiSpace(end[-1]))
        --end;
    bool ascii = true;
    for (const char *c = begin; c < end && ascii; ++c)
        ascii = static_cast<unsigned char>(*c) < 0x80;
    // Only non-ASCII white space (a no-break space from a spreadsheet) can
    // still surround a number; that rare case decodes.
    if (!ascii)
        return toFloat(QString::fromUtf8(begin, int(end - begin)), ok);
    bool parsed = false;
    // Like QString's, QByteArray's conversion uses the C locale.
    const float value = QByteArray::fromRawData(begin, int(end - begin)).toFloat(&parsed);
    parsed = parsed && std::isfinite(value);
    if (ok)
        *ok = parsed;
    return parsed ? value : 0.0f;
}

int toInt(const QString &text, bool *ok)
{
    bool parsed = false;
    const int value = text.trimmed().toInt(&parsed, 10);
    if (ok)
        *ok = parsed;
    return parsed ? value : 0;
}

qint64 toLongLong(const QString &text, bool *ok)
{
    bool parsed = false;
    const qint64 value = text.trimmed().toLongLong(&parsed, 10);
    if (ok)
        *ok = parsed;
    return parsed ? value : 0;
}

} // namespace NumberText
