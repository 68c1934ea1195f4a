#include "mainwindow/livereadout.h"

#include "device/numbertext.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

float truncateReading(float value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    double scaled = double(value) * scale;
    // The conversion to int is undefined outside its range (and for NaN).
    if (!std::isfinite(scaled) || scaled >= 2147483648.0 || scaled <= -2147483649.0)
        return value;
    // A float cannot hold most decimals exactly: 0.29 arrives as 0.28999999.
    // Nudging by one float step keeps the cut from dropping a digit that the
    // tester did send.
    scaled += std::copysign(std::fabs(scaled) * FLT_EPSILON, scaled);
    const int whole = static_cast<int>(scaled);
    return static_cast<float>(double(static_cast<float>(whole)) / scale);
}

float truncateDistanceReading(float value, int forceDecimals)
{
    const float cut = truncateReading(value, forceDecimals);
    return truncateReading(cut, std::min(forceDecimals, NumberText::DistanceDecimals));
}
