#include "evaluation/testprogram.h"

#include <algorithm>
#include <cmath>

namespace {

// Positions in the tester's setting reply.
constexpr int ForceAt = 0;
constexpr int DistanceAt = 5;
constexpr int LowerAt = 10;
constexpr int UpperAt = 15;
constexpr int EffectiveCoilsAt = 20;
constexpr int SpringRateAt = 21;
constexpr int FreeLengthAt = 22;
constexpr int MeanDiameterAt = 23;
constexpr int WireDiameterAt = 24;
constexpr int PointSetSize = 25;

constexpr int ProgramNumberAt = 1;
constexpr int SpeedAt = 3;
constexpr int ToleranceAt = 4;
constexpr int SystemSetSize = 9;

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

bool TestProgram::fromMachineSetting(const QVector<float> &pointSet, const QVector<int> &systemSet,
                                     TestProgram *program)
{
    if (pointSet.size() < PointSetSize || systemSet.size() < SystemSetSize)
        return false;
    TestProgram read;
    read.number = systemSet.at(ProgramNumberAt);
    read.speed = systemSet.at(SpeedAt);
    for (int i = 0; i < MaxPoints; ++i) {
        TestPoint point;
        point.distance = double(pointSet.at(DistanceAt + i));
        point.force = double(pointSet.at(ForceAt + i));
        point.lower = double(pointSet.at(LowerAt + i));
        point.upper = double(pointSet.at(UpperAt + i));
        point.tolerancePercent = systemSet.at(ToleranceAt + i);
        read.points.append(point);
    }
    read.spring.effectiveCoils = double(pointSet.at(EffectiveCoilsAt));
    read.spring.rate = double(pointSet.at(SpringRateAt));
    read.spring.freeLength = double(pointSet.at(FreeLengthAt));
    read.spring.meanDiameter = double(pointSet.at(MeanDiameterAt));
    read.spring.wireDiameter = double(pointSet.at(WireDiameterAt));
    *program = read;
    return true;
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
