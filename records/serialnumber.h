#pragma once

#include <QString>

namespace SerialNumber {

// The serial number of the next spring: the last run of digits counts up
// and keeps its width ("S-0099" → "S-0100", "7" → "8", "99" → "100").
// A number without digits stays as it is.
QString next(const QString &serial);

} // namespace SerialNumber
