#include "device/machineprogram.h"

#include "device/registers.h"

#include <cmath>

namespace {
using namespace TesterRegisters::SettingLayout;

// A figure the tester holds as a float may be anything a slot never set
// leaves behind, NaN and infinity among them; none of those is a figure.
double figure(float value)
{
    return std::isfinite(value) ? double(value) : 0.0;
}
} // namespace

bool MachineProgram::fromSetting(const QVector<float> &pointSet, const QVector<int> &systemSet,
                                 TestProgram *program)
{
    if (pointSet.size() < TesterRegisters::PointSetCount
        || systemSet.size() < TesterRegisters::SystemSetCount)
        return false;
    TestProgram read;
    read.number = systemSet.at(CurrentTest);
    read.speed = systemSet.at(Speed);
    for (int i = 0; i < TestProgram::MaxPoints; ++i) {
        TestPoint point;
        // A slot without a real distance and force is an empty one: judging
        // at a distance that is not a number would judge nothing, and storing
        // it would put NaN in the record. Limits that are not numbers are no
        // limits of its own: the tolerance judges the point.
        const float distance = pointSet.at(FirstDistance + i);
        const float force = pointSet.at(FirstForce + i);
        if (std::isfinite(distance) && std::isfinite(force)) {
            point.distance = double(distance);
            point.force = double(force);
            point.lower = figure(pointSet.at(FirstLower + i));
            point.upper = figure(pointSet.at(FirstUpper + i));
            point.tolerancePercent = systemSet.at(FirstTolerance + i);
        }
        read.points.append(point);
    }
    read.spring.effectiveCoils = figure(pointSet.at(EffectiveWinding));
    read.spring.rate = figure(pointSet.at(SpringRate));
    read.spring.freeLength = figure(pointSet.at(FreeLength));
    read.spring.meanDiameter = figure(pointSet.at(MeanDiameter));
    read.spring.wireDiameter = figure(pointSet.at(WireDiameter));
    *program = read;
    return true;
}
