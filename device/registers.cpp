#include "device/registers.h"

#include <cstring>

namespace TesterRegisters {

namespace {

quint16 low16(int value)
{
    return static_cast<quint16>(static_cast<quint32>(value) & 0xFFFFu);
}

float floatAt(const QVector<quint16> &registers, int address)
{
    return decodeFloat(registers.at(address), registers.at(address + 1));
}

// A read is usable only when it returned exactly the block asked for and the
// buffer really holds it.
bool complete(const QVector<quint16> &registers, int returned, int expected)
{
    return returned == expected && registers.size() >= expected;
}

} // namespace

float decodeFloat(quint16 low, quint16 high)
{
    const quint32 bits = quint32(low) | (quint32(high) << 16);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void encodeFloat(float value, quint16 *low, quint16 *high)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    *low = static_cast<quint16>(bits & 0xFFFFu);
    *high = static_cast<quint16>(bits >> 16);
}

QVector<quint16> startCommand(const Curve_Setting &setting)
{
    quint16 low = 0;
    quint16 high = 0;
    encodeFloat(setting.distance, &low, &high);
    return {StartTestCode,
            StartTestArgument,
            low16(setting.mode),
            low16(setting.distanceMode),
            low16(setting.speed),
            low,
            high};
}

QVector<quint16> stopCommand()
{
    return {StopTestCode, StopTestArgument};
}

QVector<quint16> settingRequest(int index)
{
    return {SettingRequestCode, low16(index)};
}

QVector<quint16> dataRequest(int index, int scanIndex)
{
    return {DataRequestCode, low16(index), low16(scanIndex)};
}

bool decodeLivePoint(const QVector<quint16> &registers, int returned, LivePoint *point)
{
    if (!complete(registers, returned, LivePointCount))
        return false;
    point->force = floatAt(registers, 0);
    point->distance = floatAt(registers, 2);
    return true;
}

QVector<CurvePoint> decodeCurveBlock(const QVector<quint16> &registers, int returned)
{
    QVector<CurvePoint> points;
    if (!complete(registers, returned, CurveBlockCount))
        return points;
    const int count = registers.at(1);
    if (count < 1 || count > MaxCurvePoints)
        return points;
    int stroke;
    switch (registers.at(0)) {
    case ForwardStrokeCode:
        stroke = ForwardStroke;
        break;
    case ReturnStrokeCode:
        stroke = ReturnStroke;
        break;
    default:
        return points;
    }
    points.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int base = 2 + 4 * i;
        CurvePoint point;
        point.stroke = stroke;
        point.force = floatAt(registers, base);
        point.distance = floatAt(registers, base + 2);
        points.append(point);
    }
    return points;
}

bool decodeSettingReply(const QVector<quint16> &registers, int returned, SystemSetting *reply)
{
    if (!complete(registers, returned, SettingReplyCount))
        return false;
    // The test number may not exceed the number of tests stored.
    if (registers.at(0) != SettingReplyCode || registers.at(1) < registers.at(2))
        return false;
    reply->systemSet.clear();
    reply->pointSet.clear();
    reply->systemSet.reserve(SystemSetCount);
    reply->pointSet.reserve(PointSetCount);
    for (int k = 0; k < SystemSetCount; ++k)
        reply->systemSet.append(registers.at(1 + k));
    for (int k = 0; k < PointSetCount; ++k)
        reply->pointSet.append(floatAt(registers, 10 + 2 * k));
    return true;
}

bool decodeDataReply(const QVector<quint16> &registers, int returned, SystemData *reply)
{
    if (!complete(registers, returned, DataReplyCount) || registers.at(0) != DataReplyCode)
        return false;
    reply->systemData.clear();
    reply->pointData.clear();
    reply->systemData.reserve(SystemDataCount);
    reply->pointData.reserve(PointDataCount);
    for (int k = 0; k < SystemDataCount; ++k)
        reply->systemData.append(registers.at(1 + k));
    for (int k = 0; k < PointDataCount; ++k)
        reply->pointData.append(floatAt(registers, 5 + 2 * k));
    return true;
}

} // namespace TesterRegisters
