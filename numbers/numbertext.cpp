#include "numbers/numbertext.h"

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

int toInt(const QString &text, bool *ok)
{
    bool parsed = false;
    const int value = text.trimmed().toInt(&parsed, 10);
    if (ok)
        *ok = parsed;
    return parsed ? value : 0;
}

} // namespace NumberText
