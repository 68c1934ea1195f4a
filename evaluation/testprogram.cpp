#include "evaluation/testprogram.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Percent = 100.0;

} // namespace

ForceLimits TestPoint::limits() const
{
    if (upper > lower)
        return ForceLimits{lower, upper};
    const double margin = std::fabs(force) * tolerancePercent / Percent;
    const double a = force - margin;
    const double b = force + margin;
    return ForceLimits{std::min(a, b), std::max(a, b)};
}

int TestProgram::usedPointCount() const
{
    return int(std::count_if(points.begin(), points.end(),
                             [](const TestPoint &p) { return p.isUsed(); }));
}

bool operator==(const TestPoint &a, const TestPoint &b)
{
    return a.distance == b.distance && a.force == b.force && a.lower == b.lower
           && a.upper == b.upper && a.tolerancePercent == b.tolerancePercent
           && a.otherKeys == b.otherKeys;
}

bool operator==(const SpringData &a, const SpringData &b)
{
    return a.freeLength == b.freeLength && a.meanDiameter == b.meanDiameter
           && a.wireDiameter == b.wireDiameter && a.effectiveCoils == b.effectiveCoils
           && a.rate == b.rate && a.otherKeys == b.otherKeys;
}

bool TestProgram::operator==(const TestProgram &other) const
{
    return number == other.number && speed == other.speed && points == other.points
           && spring == other.spring && otherKeys == other.otherKeys;
}
