#include "records/serialnumber.h"

namespace SerialNumber {

QString next(const QString &serial)
{
    int end = serial.size();
    while (end > 0 && !serial.at(end - 1).isDigit())
        --end;
    int begin = end;
    while (begin > 0 && serial.at(begin - 1).isDigit())
        --begin;
    if (begin == end)
        return serial;
    QString digits = serial.mid(begin, end - begin);
    // Decimal addition on the text: any length, no overflow.
    int i = digits.size() - 1;
    while (i >= 0 && digits.at(i) == QLatin1Char('9')) {
        digits[i] = QLatin1Char('0');
        --i;
    }
    if (i < 0)
        digits.prepend(QLatin1Char('1'));
    else
        digits[i] = QChar(digits.at(i).unicode() + 1);
    return serial.left(begin) + digits + serial.mid(end);
}

} // namespace SerialNumber
