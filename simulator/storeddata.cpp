#include "storeddata.h"

#include "registercodec.h"

#include <algorithm>

namespace {
constexpr int testPoints = 5;
constexpr double pointSpacing = 5.0;  // mm between test points

// Register offsets of the setting reply.
constexpr int settingFloats = 10;
constexpr int forceOffset = 0;
constexpr int distanceOffset = 5;
constexpr int lowerOffset = 10;
constexpr int upperOffset = 15;
constexpr int windingIndex = 20;
constexpr int rateIndex = 21;
constexpr int freeLengthIndex = 22;
constexpr int meanDiameterIndex = 23;
constexpr int wireDiameterIndex = 24;

// Register offsets of the data reply.
constexpr int dataFloats = 5;

void putSettingFloat(uint16_t *registers, int element, double value)
{
    RegisterCodec::putFloat(registers + settingFloats + 2 * element, float(value));
}

void putDataFloat(uint16_t *registers, int element, double value)
{
    RegisterCodec::putFloat(registers + dataFloats + 2 * element, float(value));
}
} // namespace

namespace StoredData {

int recordsInGroup(int group)
{
    return group + 1;
}

int clampTest(int test)
{
    return std::clamp(test, 1, testCount);
}

void settingReply(int test, uint16_t *registers)
{
    const int k = clampTest(test);
    std::fill(registers, registers + settingReplyRegisters, uint16_t(0));
    registers[0] = settingReplyCode;
    registers[1] = testCount;
    registers[2] = uint16_t(k);
    registers[3] = uint16_t(k);       // repeat
    registers[4] = uint16_t(50 * k);  // speed, mm/min

    const double rate = 2.0 * k;
    for (int p = 1; p <= testPoints; ++p) {
        const int tolerance = 5 * p;  // percent
        const double distance = pointSpacing * p;
        const double force = rate * distance;
        const double margin = force * tolerance / 100.0;
        registers[4 + p] = uint16_t(tolerance);
        putSettingFloat(registers, forceOffset + p - 1, force);
        putSettingFloat(registers, distanceOffset + p - 1, distance);
        putSettingFloat(registers, lowerOffset + p - 1, force - margin);
        putSettingFloat(registers, upperOffset + p - 1, force + margin);
    }
    putSettingFloat(registers, windingIndex, k + 4.5);
    putSettingFloat(registers, rateIndex, rate);
    putSettingFloat(registers, freeLengthIndex, 40.0 + 10.0 * k);
    putSettingFloat(registers, meanDiameterIndex, 10.0 + k);
    putSettingFloat(registers, wireDiameterIndex, 1.0 + 0.25 * k);
}

void dataReply(int group, int record, uint16_t *registers)
{
    std::fill(registers, registers + dataReplyRegisters, uint16_t(0));
    registers[0] = dataReplyCode;
    if (group < 1 || group > groupCount || record < 1 || record > recordsInGroup(group)) {
        std::fill(registers + 1, registers + 5, noRecord);
        return;
    }
    registers[1] = uint16_t(group);
    registers[2] = groupCount;
    registers[3] = uint16_t(record);
    registers[4] = uint16_t(recordsInGroup(group));

    // A slightly progressive spring: the rate rises by a little from point
    // to point, so that each segment's rate differs.
    const double rate = 2.0 * group + 0.25 * record;
    for (int p = 1; p <= testPoints; ++p) {
        const double distance = pointSpacing * p;
        const double progression = 0.25 * (p - 1) * (p - 1);
        putDataFloat(registers, p - 1, rate * distance + progression);
        putDataFloat(registers, testPoints + p - 1, distance);
    }
}

} // namespace StoredData
