#include "device/numbertext.h"

int forceDecimals = 3;

namespace NumberText {

QString fixed(double value, int decimals)
{
    // QString::arg never groups digits and always uses "." for 'f'.
    return QString::number(value, 'f', decimals < 0 ? 0 : decimals);
}

// QString's conversions use the C locale whatever the system's, and reject
// digit grouping, so "1,5" is not read as 15.
double toDouble(const QString &text, bool *ok)
{
    bool parsed = false;
    const double value = text.trimmed().toDouble(&parsed);
    if (ok)
        *ok = parsed;
    return parsed ? value : 0.0;
}

float toFloat(const QString &text, bool *ok)
{
    bool parsed = false;
    const float value = text.trimmed().toFloat(&parsed);
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

} // namespace NumberText
