#include "evaluation/testprogram.h"

#include "device/registers.h"

#include <algorithm>
#include <cmath>

namespace {

using namespace TesterRegisters::SettingLayout;
constexpr int PointSetSize = TesterRegisters::PointSetCount;
constexpr int SystemSetSize = TesterRegisters::SystemSetCount;

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
    read.number = systemSet.at(CurrentTest);
    read.speed = systemSet.at(Speed);
    for (int i = 0; i < MaxPoints; ++i) {
        TestPoint point;
        point.distance = double(pointSet.at(FirstDistance + i));
        point.force = double(pointSet.at(FirstForce + i));
        point.lower = double(pointSet.at(FirstLower + i));
        point.upper = double(pointSet.at(FirstUpper + i));
        point.tolerancePercent = systemSet.at(FirstTolerance + i);
        read.points.append(point);
    }
    read.spring.effectiveCoils = double(pointSet.at(EffectiveWinding));
    read.spring.rate = double(pointSet.at(SpringRate));
    read.spring.freeLength = double(pointSet.at(FreeLength));
    read.spring.meanDiameter = double(pointSet.at(MeanDiameter));
    read.spring.wireDiameter = double(pointSet.at(WireDiameter));
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
