#pragma once

#include <QString>

// Decimals with which every force in the program is shown or written. The
// main window sets it from the tester at connection time; everything else
// reads it at the moment it formats a force.
extern int forceDecimals;

// Number texts independent of the system locale: "." as decimal point,
// a leading "-" for negatives, no digit grouping, no exponent.
namespace NumberText {

constexpr int DistanceDecimals = 2;

// Fixed-point text; a value that rounds to zero carries no minus sign.
QString fixed(double value, int decimals);
inline QString force(double value) { return fixed(value, forceDecimals); }
inline QString distance(double value) { return fixed(value, DistanceDecimals); }

// Text read as a number, surrounding white space ignored. Anything that is
// not a finite number (or, for toFloat, lies outside the single-precision
// range) gives 0; *ok, when given, says whether the text was a number.
double toDouble(const QString &text, bool *ok = nullptr);
float toFloat(const QString &text, bool *ok = nullptr);
// The same rule over the bytes [begin, end) of a UTF-8 text, without a
// QString for plain ASCII: what a file of a million numbers is read with.
float toFloat(const char *begin, const char *end, bool *ok = nullptr);
int toInt(const QString &text, bool *ok = nullptr);
qint64 toLongLong(const QString &text, bool *ok = nullptr);

} // namespace NumberText
