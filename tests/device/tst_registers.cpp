// The register contract, from data tables: what the commands hold, and which
// replies are accepted with what they carry.
#include "device/machineprogram.h"
#include "device/registers.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace TesterRegisters;
using Registers = QVector<quint16>;

Q_DECLARE_METATYPE(Registers)

namespace {

void putFloat(Registers &r, int at, float value)
{
    encodeFloat(value, &r[at], &r[at + 1]);
}

Registers curveBlock(quint16 type, quint16 count, int filledPoints)
{
    Registers r(CurveBlockCount, 0);
    r[0] = type;
    r[1] = count;
    for (int i = 0; i < filledPoints; ++i) {
        putFloat(r, 2 + 4 * i, 100.0f + i);  // force
        putFloat(r, 4 + 4 * i, 0.5f * i);    // distance
    }
    return r;
}

Registers settingReply(quint16 code, quint16 tests, quint16 number)
{
    Registers r(RequestBufferCount, 0);
    r[0] = code;
    r[1] = tests;
    r[2] = number;
    for (int k = 2; k < SystemSetCount; ++k)
        r[1 + k] = quint16(10 * k);
    for (int k = 0; k < PointSetCount; ++k)
        putFloat(r, 10 + 2 * k, 1.5f * k);
    return r;
}

} // namespace

class tst_Registers : public QObject
{
    Q_OBJECT

private slots:
    void floatEncodingIsWordSwapped_data();
    void floatEncodingIsWordSwapped();
    void nonFiniteFloatsSurviveTheRoundTrip();
    void commandBlocks_data();
    void commandBlocks();
    void livePointNeedsExactlyFourRegisters_data();
    void livePointNeedsExactlyFourRegisters();
    void curveBlockAcceptance_data();
    void curveBlockAcceptance();
    void curveBlockPointsInAscendingOrder();
    void settingReplyAcceptance_data();
    void settingReplyAcceptance();
    void settingReplyWidensRegistersUnsigned();
    void dataReplyAcceptedWhateverItsCounters_data();
    void dataReplyAcceptedWhateverItsCounters();
    void storedProgramFromTheSettingReply();
};

void tst_Registers::floatEncodingIsWordSwapped_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<quint16>("low");
    QTest::addColumn<quint16>("high");
    QTest::newRow("distance 25.0 mm") << 25.0f << quint16(0x0000) << quint16(0x41C8);
    QTest::newRow("force 1.5 N") << 1.5f << quint16(0x0000) << quint16(0x3FC0);
    QTest::newRow("negative -2.0") << -2.0f << quint16(0x0000) << quint16(0xC000);
    QTest::newRow("low word used 0.1") << 0.1f << quint16(0xCCCD) << quint16(0x3DCC);
    QTest::newRow("zero") << 0.0f << quint16(0) << quint16(0);
}

void tst_Registers::floatEncodingIsWordSwapped()
{
    QFETCH(float, value);
    QFETCH(quint16, low);
    QFETCH(quint16, high);
    quint16 l = 0xFFFF, h = 0xFFFF;
    encodeFloat(value, &l, &h);
    QCOMPARE(l, low);
    QCOMPARE(h, high);
    QCOMPARE(decodeFloat(low, high), value);
}

void tst_Registers::nonFiniteFloatsSurviveTheRoundTrip()
{
    // A controller fault can put NaN or infinity on the line; decoding must
    // hand them on as such, not crash or invent a number.
    QVERIFY(std::isnan(decodeFloat(0x0000, 0x7FC0)));
    QVERIFY(std::isinf(decodeFloat(0x0000, 0x7F80)));
    QVERIFY(std::isinf(decodeFloat(0x0000, 0xFF80)));
}

void tst_Registers::commandBlocks_data()
{
    QTest::addColumn<Registers>("command");
    QTest::addColumn<Registers>("expected");

    Curve_Setting push;  // PUSH, relative, 100 mm/min, 10 mm
    QTest::newRow("start default 10 mm") << startCommand(push)
        << Registers{3, 5, 0, 0, 100, 0x0000, 0x4120};

    Curve_Setting pull;
    pull.mode = 1;
    pull.distanceMode = 1;
    pull.speed = 500;
    pull.distance = 25.0f;
    QTest::newRow("start PULL absolute 25 mm") << startCommand(pull)
        << Registers{3, 5, 1, 1, 500, 0x0000, 0x41C8};

    Curve_Setting wide;
    wide.speed = 0x12345;  // only the low 16 bits go on the line
    wide.distance = 0.0f;
    QTest::newRow("start keeps low 16 bits of speed") << startCommand(wide)
        << Registers{3, 5, 0, 0, 0x2345, 0, 0};

    QTest::newRow("stop") << stopCommand() << Registers{4, 0};
    QTest::newRow("setting request test 3") << settingRequest(3) << Registers{5, 3};
    QTest::newRow("setting request -1 as 0xFFFF") << settingRequest(-1) << Registers{5, 0xFFFF};
    QTest::newRow("result request group 2 record 4") << dataRequest(2, 4) << Registers{7, 2, 4};
}

void tst_Registers::commandBlocks()
{
    QFETCH(Registers, command);
    QFETCH(Registers, expected);
    QCOMPARE(command, expected);
}

void tst_Registers::livePointNeedsExactlyFourRegisters_data()
{
    QTest::addColumn<int>("returned");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("4 registers") << 4 << true;
    QTest::newRow("read failed") << -1 << false;
    QTest::newRow("short read") << 3 << false;
    QTest::newRow("nothing") << 0 << false;
}

void tst_Registers::livePointNeedsExactlyFourRegisters()
{
    QFETCH(int, returned);
    QFETCH(bool, accepted);
    Registers r(LivePointCount, 0);
    putFloat(r, 0, 12.5f);
    putFloat(r, 2, -3.25f);
    LivePoint point;
    QCOMPARE(decodeLivePoint(r, returned, &point), accepted);
    if (accepted) {
        QCOMPARE(point.force, 12.5f);
        QCOMPARE(point.distance, -3.25f);
    }
}

void tst_Registers::curveBlockAcceptance_data()
{
    QTest::addColumn<Registers>("block");
    QTest::addColumn<int>("returned");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("stroke");

    QTest::newRow("forward 1 point") << curveBlock(1, 1, 1) << 122 << 1 << ForwardStroke;
    QTest::newRow("return 30 points") << curveBlock(2, 30, 30) << 122 << 30 << ReturnStroke;
    QTest::newRow("count 31 yields none") << curveBlock(1, 31, 30) << 122 << 0 << 0;
    QTest::newRow("count 0 yields none") << curveBlock(1, 0, 0) << 122 << 0 << 0;
    QTest::newRow("count 0xFFFF yields none") << curveBlock(1, 0xFFFF, 0) << 122 << 0 << 0;
    QTest::newRow("type 3 yields none") << curveBlock(3, 5, 5) << 122 << 0 << 0;
    QTest::newRow("type 0 yields none") << curveBlock(0, 5, 5) << 122 << 0 << 0;
    QTest::newRow("short read") << curveBlock(1, 5, 5) << 121 << 0 << 0;
    QTest::newRow("failed read") << curveBlock(1, 5, 5) << -1 << 0 << 0;
    QTest::newRow("buffer shorter than block") << Registers{1, 1, 0, 0, 0, 0} << 122 << 0 << 0;
}

void tst_Registers::curveBlockAcceptance()
{
    QFETCH(Registers, block);
    QFETCH(int, returned);
    QFETCH(int, points);
    QFETCH(int, stroke);
    const QVector<CurvePoint> decoded = decodeCurveBlock(block, returned);
    QCOMPARE(decoded.size(), points);
    for (const CurvePoint &p : decoded)
        QCOMPARE(p.stroke, stroke);
}

void tst_Registers::curveBlockPointsInAscendingOrder()
{
    const QVector<CurvePoint> decoded = decodeCurveBlock(curveBlock(2, 4, 30), CurveBlockCount);
    QCOMPARE(decoded.size(), 4);
    for (int i = 0; i < decoded.size(); ++i) {
        QCOMPARE(decoded[i].force, 100.0 + i);
        QCOMPARE(decoded[i].distance, 0.5 * i);
    }
}

void tst_Registers::settingReplyAcceptance_data()
{
    QTest::addColumn<Registers>("reply");
    QTest::addColumn<int>("returned");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("test 2 of 5") << settingReply(6, 5, 2) << 60 << true;
    QTest::newRow("register 1 equals register 2") << settingReply(6, 3, 3) << 60 << true;
    QTest::newRow("register 1 below register 2") << settingReply(6, 2, 3) << 60 << false;
    QTest::newRow("unsigned compare 0xFFFF >= 1") << settingReply(6, 0xFFFF, 1) << 60 << true;
    QTest::newRow("unsigned compare 1 < 0x8000") << settingReply(6, 1, 0x8000) << 60 << false;
    QTest::newRow("wrong code 8") << settingReply(8, 5, 2) << 60 << false;
    QTest::newRow("short read") << settingReply(6, 5, 2) << 59 << false;
    QTest::newRow("failed read") << settingReply(6, 5, 2) << -1 << false;
}

void tst_Registers::settingReplyAcceptance()
{
    QFETCH(Registers, reply);
    QFETCH(int, returned);
    QFETCH(bool, accepted);
    SystemSetting decoded;
    QCOMPARE(decodeSettingReply(reply, returned, &decoded), accepted);
    if (accepted) {
        QCOMPARE(decoded.systemSet.size(), SystemSetCount);
        QCOMPARE(decoded.pointSet.size(), PointSetCount);
        QCOMPARE(decoded.systemSet[0], int(reply[1]));
        QCOMPARE(decoded.systemSet[1], int(reply[2]));
        QCOMPARE(decoded.systemSet[8], 80);
        QCOMPARE(decoded.pointSet[0], 0.0f);
        QCOMPARE(decoded.pointSet[24], 36.0f);
    }
}

void tst_Registers::settingReplyWidensRegistersUnsigned()
{
    Registers r = settingReply(6, 0xFFFF, 0xFFFF);
    r[4] = 0x8000;
    SystemSetting decoded;
    QVERIFY(decodeSettingReply(r, SettingReplyCount, &decoded));
    QCOMPARE(decoded.systemSet[0], 65535);
    QCOMPARE(decoded.systemSet[3], 32768);
}

void tst_Registers::dataReplyAcceptedWhateverItsCounters_data()
{
    QTest::addColumn<Registers>("counters");
    QTest::addColumn<quint16>("code");
    QTest::addColumn<int>("returned");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("group 2 of 3, record 1 of 4") << Registers{2, 3, 1, 4} << quint16(8) << 25 << true;
    QTest::newRow("no such record, all 255") << Registers{255, 255, 255, 255} << quint16(8) << 25 << true;
    QTest::newRow("record beyond count still accepted") << Registers{9, 1, 7, 2} << quint16(8) << 25 << true;
    QTest::newRow("0xFFFF widened") << Registers{0xFFFF, 0, 0, 0} << quint16(8) << 25 << true;
    QTest::newRow("setting code 6") << Registers{1, 1, 1, 1} << quint16(6) << 25 << false;
    QTest::newRow("short read") << Registers{1, 1, 1, 1} << quint16(8) << 24 << false;
}

void tst_Registers::dataReplyAcceptedWhateverItsCounters()
{
    QFETCH(Registers, counters);
    QFETCH(quint16, code);
    QFETCH(int, returned);
    QFETCH(bool, accepted);
    Registers r(RequestBufferCount, 0);
    r[0] = code;
    for (int k = 0; k < 4; ++k)
        r[1 + k] = counters[k];
    for (int k = 0; k < PointDataCount; ++k)
        putFloat(r, 5 + 2 * k, 10.0f * (k + 1));
    SystemData decoded;
    QCOMPARE(decodeDataReply(r, returned, &decoded), accepted);
    if (accepted) {
        QCOMPARE(decoded.systemData.size(), SystemDataCount);
        for (int k = 0; k < 4; ++k)
            QCOMPARE(decoded.systemData[k], int(counters[k]));
        QCOMPARE(decoded.pointData.size(), PointDataCount);
        QCOMPARE(decoded.pointData[0], 10.0f);
        QCOMPARE(decoded.pointData[9], 100.0f);
    }
}

void tst_Registers::storedProgramFromTheSettingReply()
{
    QVector<float> pointSet(25);
    for (int i = 0; i < 25; ++i)
        pointSet[i] = float(i + 1);
    const QVector<int> systemSet{5, 3, 10, 60, 1, 2, 3, 4, 5};
    TestProgram program;
    QVERIFY(MachineProgram::fromSetting(pointSet, systemSet, &program));
    QCOMPARE(program.number, 3);
    QCOMPARE(program.speed, 60);
    QCOMPARE(program.points.size(), 5);
    const TestPoint &second = program.points.at(1);
    QCOMPARE(second.force, 2.0);
    QCOMPARE(second.distance, 7.0);
    QCOMPARE(second.lower, 12.0);
    QCOMPARE(second.upper, 17.0);
    QCOMPARE(second.tolerancePercent, 2.0);
    QCOMPARE(program.spring.effectiveCoils, 21.0);
    QCOMPARE(program.spring.rate, 22.0);
    QCOMPARE(program.spring.freeLength, 23.0);
    QCOMPARE(program.spring.meanDiameter, 24.0);
    QCOMPARE(program.spring.wireDiameter, 25.0);

    // Slots the tester never set may read as NaN: they are empty slots, and
    // no figure of the program is ever NaN or infinite.
    pointSet[0] = std::numeric_limits<float>::quiet_NaN();  // force of point 1
    pointSet[12] = std::numeric_limits<float>::infinity();  // lower limit of point 3
    pointSet[21] = std::numeric_limits<float>::quiet_NaN(); // spring rate
    QVERIFY(MachineProgram::fromSetting(pointSet, systemSet, &program));
    QVERIFY(!program.points.at(0).isUsed());
    QCOMPARE(program.points.at(0).lower, 0.0);
    QCOMPARE(program.usedPointCount(), 4);
    QCOMPARE(program.points.at(2).lower, 0.0);
    QCOMPARE(program.points.at(2).upper, 18.0);
    QCOMPARE(program.spring.rate, 0.0);

    QVERIFY(!MachineProgram::fromSetting(pointSet.mid(0, 24), systemSet, &program));
    QCOMPARE(program.number, 3);
}

QTEST_APPLESS_MAIN(tst_Registers)
#include "tst_registers.moc"
