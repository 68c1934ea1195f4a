// Fuzz target: whatever the line delivers, the register decoders accept only
// well-formed replies and never read past the block.
#include "device/registers.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace TesterRegisters;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

// Input: one byte choosing what the read "returned" (-1 or a count near the
// block sizes), then the registers as big-endian words.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const int returnedChoices[] = {-1, 0, 1, 3, 4, 5, 24, 25, 26, 59, 60, 61, 121, 122, 123};
    const int returned = returnedChoices[data[0] % (sizeof returnedChoices / sizeof *returnedChoices)];
    QVector<quint16> registers;
    for (size_t i = 1; i + 1 < size; i += 2)
        registers.append(quint16((data[i] << 8) | data[i + 1]));

    LivePoint point;
    if (decodeLivePoint(registers, returned, &point))
        check(returned == LivePointCount && registers.size() >= LivePointCount);

    const QVector<CurvePoint> points = decodeCurveBlock(registers, returned);
    check(points.size() <= MaxCurvePoints);
    if (!points.isEmpty()) {
        check(returned == CurveBlockCount);
        check(points.size() == registers.at(1));
        for (const CurvePoint &p : points)
            check(p.stroke == (registers.at(0) == ForwardStrokeCode ? ForwardStroke : ReturnStroke));
    }

    SystemSetting setting;
    if (decodeSettingReply(registers, returned, &setting)) {
        check(setting.systemSet.size() == SystemSetCount && setting.pointSet.size() == PointSetCount);
        check(registers.at(0) == SettingReplyCode && registers.at(1) >= registers.at(2));
        for (int v : setting.systemSet)
            check(v >= 0 && v <= 0xFFFF);
    }

    SystemData record;
    if (decodeDataReply(registers, returned, &record)) {
        check(record.systemData.size() == SystemDataCount && record.pointData.size() == PointDataCount);
        check(registers.at(0) == DataReplyCode);
    }

    // Encoding a decoded float gives back the same bits.
    if (registers.size() >= 2) {
        const float value = decodeFloat(registers[0], registers[1]);
        quint16 low, high;
        encodeFloat(value, &low, &high);
        check(low == registers[0] && high == registers[1]);
    }
    return 0;
}
