#pragma once

#include "curves/testcurves.h"
#include "device/settings.h"

#include <QVector>
#include <QtGlobal>

// The register contract with the tester's controller, as pure functions:
// what each command block holds, and which replies are accepted and what
// they carry. No I/O here; the worker does the transactions.
namespace TesterRegisters {

constexpr int SlaveAddress = 1;

// Input registers (function 04).
constexpr int LivePointAddress = 0;
constexpr int LivePointCount = 4;       // force 0-1, distance 2-3
constexpr int MachineTypeAddress = 4;
constexpr int ForceDecimalsAddress = 5;

// Holding registers: commands are written from register 0, replies are read
// from register 0.
constexpr int CommandAddress = 0;
constexpr int ReplyAddress = 0;
constexpr int CurveBlockCount = 122;
constexpr int SettingReplyCount = 60;
constexpr int DataReplyCount = 25;
constexpr int RequestBufferCount = 100; // zeroed buffer the request replies land in
constexpr int MaxCurvePoints = 30;
constexpr int SystemSetCount = 9;
constexpr int PointSetCount = 25;
constexpr int SystemDataCount = 4;
constexpr int PointDataCount = 10;

enum CommandCode : quint16 {
    StartTestCode = 3,
    StopTestCode = 4,
    SettingRequestCode = 5,
    DataRequestCode = 7,
};

// Register 0 of what is read back.
enum ReplyCode : quint16 {
    ForwardStrokeCode = 1,
    ReturnStrokeCode = 2,
    SettingReplyCode = SettingRequestCode + 1,
    DataReplyCode = DataRequestCode + 1,
};

// Register 1 of the start and stop commands; the controller expects these
// constants whatever the test.
constexpr quint16 StartTestArgument = 5;
constexpr quint16 StopTestArgument = 0;

// Stroke index used from the worker to the plot and the curve file.
constexpr int ForwardStroke = TestCurves::Forward;
constexpr int ReturnStroke = TestCurves::Return;

// Word-swapped IEEE-754 single: bits 0-15 in the lower-numbered register.
float decodeFloat(quint16 low, quint16 high);
void encodeFloat(float value, quint16 *low, quint16 *high);

QVector<quint16> startCommand(const Curve_Setting &setting);
QVector<quint16> stopCommand();
QVector<quint16> settingRequest(int index);
QVector<quint16> dataRequest(int index, int scanIndex);

struct LivePoint
{
    float distance = 0;
    float force = 0;
};

struct CurvePoint
{
    int stroke = ForwardStroke;
    double distance = 0;
    double force = 0;
};

// What each element of a setting reply's vectors holds (a stored test
// program): systemSet positions, then pointSet positions, each pointSet
// block holding the five test points in order.
namespace SettingLayout {
constexpr int TestCount = 0;
constexpr int CurrentTest = 1;
constexpr int RepeatNumber = 2;
constexpr int Speed = 3;
constexpr int FirstTolerance = 4;

constexpr int FirstForce = 0;
constexpr int FirstDistance = 5;
constexpr int FirstLower = 10;
constexpr int FirstUpper = 15;
constexpr int EffectiveWinding = 20;
constexpr int SpringRate = 21;
constexpr int FreeLength = 22;
constexpr int MeanDiameter = 23;
constexpr int WireDiameter = 24;
} // namespace SettingLayout

struct SystemSetting
{
    QVector<float> pointSet;  // PointSetCount reals
    QVector<int> systemSet;   // SystemSetCount integers, 0...65535
};

struct SystemData
{
    QVector<float> pointData; // PointDataCount reals
    QVector<int> systemData;  // SystemDataCount integers, 0...65535
};

// Each decoder takes the read buffer and what the read returned (the
// register count, or -1 on failure). A read that did not return exactly the
// block asked for, or whose reply fails the checks, is rejected.
bool decodeLivePoint(const QVector<quint16> &registers, int returned, LivePoint *point);
// Empty when the block is rejected; otherwise its points in ascending order.
QVector<CurvePoint> decodeCurveBlock(const QVector<quint16> &registers, int returned);
bool decodeSettingReply(const QVector<quint16> &registers, int returned, SystemSetting *reply);
bool decodeDataReply(const QVector<quint16> &registers, int returned, SystemData *reply);

} // namespace TesterRegisters
