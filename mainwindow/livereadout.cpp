#include "mainwindow/livereadout.h"

#include "numbers/numbertext.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

// static_cast<int> is undefined outside int's range (and for NaN).
bool fitsInt(double value)
{
    return std::isfinite(value) && value < 2147483648.0 && value > -2147483649.0;
}

} // namespace

float truncateReading(float value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    double scaled = double(value) * scale;
    // A float cannot hold most decimals exactly: 0.29 arrives as 0.28999999.
    // Nudging by one float step keeps the cut from dropping a digit that the
    // tester did send. The nudge itself can carry a value just inside the
    // range past it, so the range is checked on what is finally converted.
    scaled += std::copysign(std::fabs(scaled) * FLT_EPSILON, scaled);
    if (!fitsInt(scaled))
        return value;
    const int whole = static_cast<int>(scaled);
    return static_cast<float>(double(static_cast<float>(whole)) / scale);
}

float truncateDistanceReading(float value, int forceDecimals)
{
    const float cut = truncateReading(value, forceDecimals);
    return truncateReading(cut, std::min(forceDecimals, NumberText::DistanceDecimals));
}
