#include "device/machineprogram.h"

#include "device/registers.h"

namespace {
using namespace TesterRegisters::SettingLayout;
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
