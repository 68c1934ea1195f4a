// The simulated tester's register contract, checked through a plain
// libmodbus master: live values, curve blocks, stored tests and results, and
// the faults that spoil register contents.

#include "modbusmaster.h"
#include "support/simulatedtester.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {
constexpr int curveRegisters = 122;
constexpr int settingRegisters = 60;
constexpr int dataRegisters = 25;
constexpr double pointStep = 1.0 / 32;
constexpr int fastSpeed = 6000; // mm/min: a 10 mm stroke in 0.1 s
constexpr int curveTimeoutMs = 10000;

struct Block
{
    int type = 0;
    int count = 0;
    QVector<float> forces;
    QVector<float> distances;
};

Block decodeBlock(const QVector<uint16_t> &registers)
{
    Block block;
    block.type = registers.at(0);
    block.count = registers.at(1);
    for (int i = 0; i < std::min(block.count, 30); ++i) {
        block.forces << wordSwappedFloat(registers, 2 + 4 * i);
        block.distances << wordSwappedFloat(registers, 4 + 4 * i);
    }
    return block;
}

// Reads curve blocks back to back, as the program does in curve mode, until
// `points` points have come in blocks with a count; returns those blocks.
QVector<Block> readCurve(ModbusMaster &master, int points)
{
    QVector<Block> blocks;
    int received = 0;
    QElapsedTimer timer;
    timer.start();
    while (received < points && timer.elapsed() < curveTimeoutMs) {
        const QVector<uint16_t> registers = master.readHolding(0, curveRegisters);
        if (registers.isEmpty() || registers.at(1) == 0)
            continue;
        blocks << decodeBlock(registers);
        received += blocks.last().count;
    }
    return blocks;
}

int pointsPerStroke(double length)
{
    return int(std::ceil(length / pointStep - 1e-9)) + 1;
}

} // namespace

class tst_SimulatorRegisters : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void liveRegistersShowRestingSpringAndOptions_data();
    void liveRegistersShowRestingSpringAndOptions();
    void liveForceFollowsSpringRate();
    void numberedLiveForceCountsLiveReads();
    void curveDeliversEveryPointOnceForwardThenReturn_data();
    void curveDeliversEveryPointOnceForwardThenReturn();
    void curveForcesShowModeSignAndHysteresis_data();
    void curveForcesShowModeSignAndHysteresis();
    void curveTakesTheTimeOfTheStrokes();
    void stopHaltsTheCrosshead();
    void invalidStartCommandIsIgnored_data();
    void invalidStartCommandIsIgnored();
    void lastWriteShowsCommandRegisters();
    void settingReplyHoldsStoredTest_data();
    void settingReplyHoldsStoredTest();
    void dataReplyHoldsRecordOrNoRecord_data();
    void dataReplyHoldsRecordOrNoRecord();
    void replyIsFollowedByCurveBlocks();
    void replyFaultsSpoilOneReply_data();
    void replyFaultsSpoilOneReply();
    void curveBlockFaultsLoseExactlyOneBlock_data();
    void curveBlockFaultsLoseExactlyOneBlock();
    void floatFaultsSpoilLiveValues_data();
    void floatFaultsSpoilLiveValues();

private:
    // Starts the simulator with `arguments` and connects a master to it.
    bool open(const QStringList &arguments);

    std::unique_ptr<SimulatedTester> simulator;
    std::unique_ptr<ModbusMaster> master;
};

void tst_SimulatorRegisters::cleanup()
{
    master.reset();
    simulator.reset();
}

bool tst_SimulatorRegisters::open(const QStringList &arguments)
{
    simulator = std::make_unique<SimulatedTester>(arguments);
    if (!simulator->start()) {
        qWarning("%s", qPrintable(simulator->errorString()));
        return false;
    }
    master = std::make_unique<ModbusMaster>(simulator->devicePath());
    return master->isConnected();
}

void tst_SimulatorRegisters::liveRegistersShowRestingSpringAndOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("noise");

    QTest::newRow("defaults") << QStringList() << 500 << 3 << 0.02;
    QTest::newRow("type 1000, 2 decimals") << QStringList{"--type", "1000", "--decimals", "2"} << 1000 << 2 << 0.02;
    QTest::newRow("register limits") << QStringList{"--type", "65535", "--decimals", "0"} << 65535 << 0 << 0.02;
    QTest::newRow("more noise") << QStringList{"--noise", "0.5"} << 500 << 3 << 0.5;
}

void tst_SimulatorRegisters::liveRegistersShowRestingSpringAndOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, type);
    QFETCH(int, decimals);
    QFETCH(double, noise);

    QVERIFY(open(arguments));

    const QVector<uint16_t> registers = master->readInput(0, 6);
    QCOMPARE(registers.size(), 6);
    QCOMPARE(int(registers.at(4)), type);
    QCOMPARE(int(registers.at(5)), decimals);
    // The crosshead rests at the zero point with the spring unloaded.
    QVERIFY(std::fabs(wordSwappedFloat(registers, 0)) <= noise);
    QVERIFY(std::fabs(wordSwappedFloat(registers, 2)) <= noise / 10);
}

void tst_SimulatorRegisters::liveForceFollowsSpringRate()
{
    QVERIFY(open({"--noise", "0", "--spring-rate", "4"}));
    QVERIFY(simulator->command("set position 12.5"));

    const QVector<uint16_t> registers = master->readInput(0, 4);
    QCOMPARE(registers.size(), 4);
    QCOMPARE(wordSwappedFloat(registers, 0), 50.0f);
    QCOMPARE(wordSwappedFloat(registers, 2), 12.5f);
}

void tst_SimulatorRegisters::numberedLiveForceCountsLiveReads()
{
    QVERIFY(open({"--numbered"}));

    QCOMPARE(wordSwappedFloat(master->readInput(0, 4), 0), 1.0f);
    QCOMPARE(wordSwappedFloat(master->readInput(0, 4), 0), 2.0f);
    // Reading only the type and decimals is not a live reading.
    QCOMPARE(master->readInput(4, 2).size(), 2);
    const QVector<uint16_t> all = master->readInput(0, 6);
    QCOMPARE(wordSwappedFloat(all, 0), 3.0f);
    QCOMPARE(wordSwappedFloat(all, 2), 0.0f);
}

void tst_SimulatorRegisters::curveDeliversEveryPointOnceForwardThenReturn_data()
{
    QTest::addColumn<double>("position");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("distanceMode");
    QTest::addColumn<float>("distance");
    QTest::addColumn<double>("target");

    QTest::newRow("push relative 10") << 0.0 << 0 << 0 << 10.0f << 10.0;
    QTest::newRow("pull relative 5 from 2") << 2.0 << 1 << 0 << 5.0f << 7.0;
    QTest::newRow("push absolute 3 from 1") << 1.0 << 0 << 1 << 3.0f << 3.0;
    QTest::newRow("absolute target behind") << 6.0 << 0 << 1 << 2.5f << 2.5;
    QTest::newRow("length not a whole step") << 0.0 << 0 << 0 << 1.01f << double(1.01f);
    QTest::newRow("zero length") << 4.0 << 1 << 0 << 0.0f << 4.0;
}

void tst_SimulatorRegisters::curveDeliversEveryPointOnceForwardThenReturn()
{
    QFETCH(double, position);
    QFETCH(int, mode);
    QFETCH(int, distanceMode);
    QFETCH(float, distance);
    QFETCH(double, target);

    QVERIFY(open({"--no-pacing", "--numbered"}));
    QVERIFY(simulator->command(QStringLiteral("set position %1").arg(position)));
    QVERIFY(master->write(startCommand(mode, distanceMode, fastSpeed, distance)));

    const double length = std::fabs(target - position);
    const double direction = target < position ? -1.0 : 1.0;
    const int perStroke = pointsPerStroke(length);
    const QVector<Block> blocks = readCurve(*master, 2 * perStroke);

    int sequence = 0;
    for (const Block &block : blocks) {
        QVERIFY(block.count >= 1 && block.count <= 30);
        for (int i = 0; i < block.count; ++i) {
            // In numbered mode a point's force is its sequence number.
            QCOMPARE(block.forces.at(i), float(++sequence));
            const bool forward = sequence <= perStroke;
            QCOMPARE(block.type, forward ? 1 : 2);
            const int step = forward ? sequence - 1 : sequence - 1 - perStroke;
            const double travel = std::min(step * pointStep, length);
            const double expected = forward ? position + direction * travel : target - direction * travel;
            QCOMPARE(block.distances.at(i), float(expected));
        }
    }
    QCOMPARE(sequence, 2 * perStroke);
    QCOMPARE(blocks.last().distances.last(), float(position));
    // Nothing further; an empty block keeps the last type.
    const QVector<uint16_t> after = master->readHolding(0, curveRegisters);
    QCOMPARE(int(after.at(0)), 2);
    QCOMPARE(int(after.at(1)), 0);
}

void tst_SimulatorRegisters::curveForcesShowModeSignAndHysteresis_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<float>("sign");

    QTest::newRow("push compresses") << 0 << 1.0f;
    QTest::newRow("pull extends") << 1 << -1.0f;
}

void tst_SimulatorRegisters::curveForcesShowModeSignAndHysteresis()
{
    QFETCH(int, mode);
    QFETCH(float, sign);

    QVERIFY(open({"--no-pacing", "--noise", "0", "--spring-rate", "4"}));
    QVERIFY(master->write(startCommand(mode, 0, fastSpeed, 5.0f)));

    const int perStroke = pointsPerStroke(5.0);
    QVector<float> forward;
    QVector<float> back;
    for (const Block &block : readCurve(*master, 2 * perStroke)) {
        for (int i = 0; i < block.count; ++i) {
            // Every test point is a whole number of steps: the 2.5 mm point
            // is step 80 of each stroke.
            if (block.distances.at(i) == 2.5f)
                (block.type == 1 ? forward : back) << block.forces.at(i);
        }
    }
    QCOMPARE(forward.size(), 1);
    QCOMPARE(back.size(), 1);
    // 4 N/mm at 2.5 mm, 2 % more while loading and 2 % less unloading.
    QCOMPARE(forward.first(), sign * 10.2f);
    QCOMPARE(back.first(), sign * 9.8f);
}

void tst_SimulatorRegisters::curveTakesTheTimeOfTheStrokes()
{
    QVERIFY(open({"--no-pacing"}));

    QElapsedTimer timer;
    timer.start();
    // 2 mm at 600 mm/min: 0.2 s out and 0.2 s back.
    QVERIFY(master->write(startCommand(0, 0, 600, 2.0f)));
    const QVector<Block> blocks = readCurve(*master, 2 * pointsPerStroke(2.0));
    QVERIFY(!blocks.isEmpty());
    QCOMPARE(blocks.last().distances.last(), 0.0f);
    QVERIFY2(timer.elapsed() >= 400, qPrintable(QString::number(timer.elapsed())));
}

void tst_SimulatorRegisters::stopHaltsTheCrosshead()
{
    QVERIFY(open({"--no-pacing", "--numbered"}));
    // 10 mm at 600 mm/min: a one-second forward stroke.
    QVERIFY(master->write(startCommand(0, 0, 600, 10.0f)));
    QTRY_VERIFY(simulator->state("position").toDouble() > 1.0);
    QVERIFY(master->write({4, 0}));

    QCOMPARE(simulator->state("phase"), QString("idle"));
    const QString halted = simulator->state("position");
    const int produced = simulator->state("produced").toInt();
    QVERIFY(produced < simulator->state("total").toInt() / 2);

    // The points sampled before the stop are still there, then nothing.
    const QVector<Block> blocks = readCurve(*master, produced);
    int received = 0;
    for (const Block &block : blocks) {
        QCOMPARE(block.type, 1);
        received += block.count;
    }
    QCOMPARE(received, produced);
    QCOMPARE(int(master->readHolding(0, curveRegisters).at(1)), 0);
    QCOMPARE(simulator->state("position"), halted);
    QVERIFY(blocks.last().distances.last() <= halted.toFloat());
}

void tst_SimulatorRegisters::invalidStartCommandIsIgnored_data()
{
    QTest::addColumn<QVector<uint16_t>>("command");

    QVector<uint16_t> marker = startCommand(0, 0, 100, 10.0f);
    marker[1] = 4;
    QTest::newRow("register 1 not 5") << marker;
    QTest::newRow("mode 2") << startCommand(2, 0, 100, 10.0f);
    QTest::newRow("distance mode 2") << startCommand(0, 2, 100, 10.0f);
    QTest::newRow("speed 0") << startCommand(0, 0, 0, 10.0f);
    QTest::newRow("distance NaN") << startCommand(0, 0, 100, std::nanf(""));
    QTest::newRow("distance infinite") << startCommand(0, 0, 100, INFINITY);
}

void tst_SimulatorRegisters::invalidStartCommandIsIgnored()
{
    QFETCH(QVector<uint16_t>, command);

    QVERIFY(open({"--no-pacing"}));
    QVERIFY(master->write(command));

    QCOMPARE(simulator->state("phase"), QString("idle"));
    QCOMPARE(simulator->state("total"), QString("0"));
}

void tst_SimulatorRegisters::lastWriteShowsCommandRegisters()
{
    QVERIFY(open({"--no-pacing"}));
    QVERIFY(master->write(startCommand(1, 1, 100, 25.0f)));

    QString registers;
    QVERIFY(simulator->command("last-write", &registers));
    QCOMPARE(registers, QString("3 5 1 1 100 0 16840"));
}

void tst_SimulatorRegisters::settingReplyHoldsStoredTest_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("test");

    for (int k = 1; k <= 5; ++k)
        QTest::newRow(qPrintable(QString("test %1").arg(k))) << k << k;
    QTest::newRow("0 clamps to the first") << 0 << 1;
    QTest::newRow("9 clamps to the last") << 9 << 5;
    QTest::newRow("65535 clamps to the last") << 65535 << 5;
}

void tst_SimulatorRegisters::settingReplyHoldsStoredTest()
{
    QFETCH(int, requested);
    QFETCH(int, test);

    QVERIFY(open({"--no-pacing"}));
    const QVector<uint16_t> reply = master->request({5, uint16_t(requested)}, settingRegisters);
    QCOMPARE(reply.size(), settingRegisters);

    const float k = test;
    QCOMPARE(QVector<int>({reply[0], reply[1], reply[2], reply[3], reply[4]}),
             QVector<int>({6, 5, test, test, 50 * test}));
    for (int p = 1; p <= 5; ++p) {
        QCOMPARE(int(reply.at(4 + p)), 5 * p);
        QCOMPARE(wordSwappedFloat(reply, 10 + 2 * (p - 1)), 10 * k * p);
        QCOMPARE(wordSwappedFloat(reply, 20 + 2 * (p - 1)), 5.0f * p);
        QCOMPARE(wordSwappedFloat(reply, 30 + 2 * (p - 1)), 10 * k * p - k * p * p / 2);
        QCOMPARE(wordSwappedFloat(reply, 40 + 2 * (p - 1)), 10 * k * p + k * p * p / 2);
    }
    QCOMPARE(wordSwappedFloat(reply, 50), k + 4.5f);
    QCOMPARE(wordSwappedFloat(reply, 52), 2 * k);
    QCOMPARE(wordSwappedFloat(reply, 54), 40 + 10 * k);
    QCOMPARE(wordSwappedFloat(reply, 56), 10 + k);
    QCOMPARE(wordSwappedFloat(reply, 58), 1 + k / 4);
}

void tst_SimulatorRegisters::dataReplyHoldsRecordOrNoRecord_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("record");
    QTest::addColumn<bool>("exists");

    QTest::newRow("1/1") << 1 << 1 << true;
    QTest::newRow("1/2, last of group 1") << 1 << 2 << true;
    QTest::newRow("2/3, last of group 2") << 2 << 3 << true;
    QTest::newRow("3/4, last record") << 3 << 4 << true;
    QTest::newRow("group 0") << 0 << 1 << false;
    QTest::newRow("group 4") << 4 << 1 << false;
    QTest::newRow("record 0") << 2 << 0 << false;
    QTest::newRow("1/3 past group end") << 1 << 3 << false;
    QTest::newRow("3/5 past last record") << 3 << 5 << false;
}

void tst_SimulatorRegisters::dataReplyHoldsRecordOrNoRecord()
{
    QFETCH(int, group);
    QFETCH(int, record);
    QFETCH(bool, exists);

    QVERIFY(open({"--no-pacing"}));
    const QVector<uint16_t> reply = master->request({7, uint16_t(group), uint16_t(record)}, dataRegisters);
    QCOMPARE(reply.size(), dataRegisters);
    QCOMPARE(int(reply.at(0)), 8);
    if (!exists) {
        QCOMPARE(QVector<int>({reply[1], reply[2], reply[3], reply[4]}), QVector<int>({255, 255, 255, 255}));
        return;
    }
    QCOMPARE(QVector<int>({reply[1], reply[2], reply[3], reply[4]}), QVector<int>({group, 3, record, group + 1}));
    const float rate = 2.0f * group + 0.25f * record;
    for (int p = 1; p <= 5; ++p) {
        QCOMPARE(wordSwappedFloat(reply, 5 + 2 * (p - 1)), rate * 5 * p + 0.25f * (p - 1) * (p - 1));
        QCOMPARE(wordSwappedFloat(reply, 15 + 2 * (p - 1)), 5.0f * p);
    }
}

void tst_SimulatorRegisters::replyIsFollowedByCurveBlocks()
{
    QVERIFY(open({"--no-pacing", "--numbered"}));
    QVERIFY(master->write(startCommand(0, 0, fastSpeed, 1.0f)));
    // A request made while a test runs answers once and takes no points.
    QCOMPARE(int(master->request({5, 3}, settingRegisters).at(0)), 6);

    const QVector<Block> blocks = readCurve(*master, 2 * pointsPerStroke(1.0));
    QVERIFY(!blocks.isEmpty());
    QCOMPARE(blocks.first().forces.first(), 1.0f);
    QCOMPARE(blocks.last().forces.last(), float(2 * pointsPerStroke(1.0)));
}

void tst_SimulatorRegisters::replyFaultsSpoilOneReply_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QVector<uint16_t>>("command");
    QTest::addColumn<int>("replyRegisters");
    QTest::addColumn<int>("spoiledRegister");
    QTest::addColumn<int>("spoiledValue");

    QTest::newRow("wrong-code setting") << "wrong-code" << QVector<uint16_t>{5, 2} << 60 << 0 << 7;
    QTest::newRow("wrong-code data") << "wrong-code" << QVector<uint16_t>{7, 1, 1} << 25 << 0 << 9;
    QTest::newRow("reg1-lt-reg2") << "reg1-lt-reg2" << QVector<uint16_t>{5, 5} << 60 << 2 << 6;
}

void tst_SimulatorRegisters::replyFaultsSpoilOneReply()
{
    QFETCH(QString, fault);
    QFETCH(QVector<uint16_t>, command);
    QFETCH(int, replyRegisters);
    QFETCH(int, spoiledRegister);
    QFETCH(int, spoiledValue);

    QVERIFY(open({"--no-pacing"}));
    QVERIFY(simulator->command(QString("fault %1 1").arg(fault)));

    QVector<uint16_t> spoiled = master->request(command, replyRegisters);
    const QVector<uint16_t> sound = master->request(command, replyRegisters);
    QCOMPARE(spoiled.size(), replyRegisters);
    QCOMPARE(sound.size(), replyRegisters);
    QCOMPARE(int(sound.at(0)), command.at(0) + 1);
    // Only the one register differs from the sound reply that follows.
    QCOMPARE(int(spoiled.at(spoiledRegister)), spoiledValue);
    spoiled[spoiledRegister] = sound.at(spoiledRegister);
    QCOMPARE(spoiled, sound);
}

void tst_SimulatorRegisters::curveBlockFaultsLoseExactlyOneBlock_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("count"); // -1: the number of points carried

    QTest::newRow("count-0") << "count-0" << 1 << 0;
    QTest::newRow("count-31") << "count-31" << 1 << 31;
    QTest::newRow("type-3") << "type-3" << 3 << -1;
}

void tst_SimulatorRegisters::curveBlockFaultsLoseExactlyOneBlock()
{
    QFETCH(QString, fault);
    QFETCH(int, type);
    QFETCH(int, count);

    QVERIFY(open({"--no-pacing", "--numbered"}));
    QVERIFY(simulator->command(QString("fault %1 1").arg(fault)));
    QVERIFY(master->write(startCommand(0, 0, fastSpeed, 2.0f)));
    const int total = 2 * pointsPerStroke(2.0);

    QVector<QVector<uint16_t>> spoiled;
    QVector<float> delivered;
    QElapsedTimer timer;
    timer.start();
    while ((delivered.isEmpty() || delivered.last() < total) && timer.elapsed() < curveTimeoutMs) {
        const QVector<uint16_t> registers = master->readHolding(0, curveRegisters);
        QCOMPARE(registers.size(), curveRegisters);
        const bool valid = registers.at(1) >= 1 && registers.at(1) <= 30 && registers.at(0) >= 1
                           && registers.at(0) <= 2;
        if (valid)
            delivered << decodeBlock(registers).forces;
        else if (wordSwappedFloat(registers, 2) != 0.0f)
            spoiled << registers;
    }
    QCOMPARE(spoiled.size(), 1);
    const QVector<uint16_t> &block = spoiled.first();
    int carried = 0;
    while (carried < 30 && wordSwappedFloat(block, 2 + 4 * carried) == float(carried + 1))
        ++carried;
    QVERIFY(carried >= 1);
    QCOMPARE(int(block.at(0)), type);
    QCOMPARE(int(block.at(1)), count < 0 ? carried : count);
    // The spoiled block held the first points; all others came once, in order.
    QCOMPARE(delivered.size(), total - carried);
    for (int i = 0; i < delivered.size(); ++i)
        QCOMPARE(delivered.at(i), float(carried + 1 + i));
}

void tst_SimulatorRegisters::floatFaultsSpoilLiveValues_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("nan") << "nan";
    QTest::newRow("inf") << "inf";
}

void tst_SimulatorRegisters::floatFaultsSpoilLiveValues()
{
    QFETCH(QString, fault);

    QVERIFY(open({"--no-pacing", "--numbered"}));
    QVERIFY(simulator->command(QString("fault %1 2").arg(fault)));

    const QVector<uint16_t> live = master->readInput(0, 4);
    QVERIFY(master->write(startCommand(0, 0, fastSpeed, 1.0f)));
    // The start point is sampled at once, so the first block carries it.
    const QVector<uint16_t> curve = master->readHolding(0, curveRegisters);
    QVERIFY(curve.value(1) > 0);
    const float force = wordSwappedFloat(live, 0);
    const float distance = wordSwappedFloat(live, 2);
    const float pointForce = wordSwappedFloat(curve, 2 + 4 * (curve.at(1) - 1));
    const float pointDistance = wordSwappedFloat(curve, 4 + 4 * (curve.at(1) - 1));
    if (fault == "nan") {
        QVERIFY(std::isnan(force) && std::isnan(distance));
        QVERIFY(std::isnan(pointForce) && std::isnan(pointDistance));
    } else {
        QVERIFY(std::isinf(force) && force > 0 && std::isinf(distance) && distance < 0);
        QVERIFY(std::isinf(pointForce) && pointForce > 0 && std::isinf(pointDistance) && pointDistance < 0);
    }
    // Two answers spoiled; the third live reading is sound again.
    QVERIFY(std::isfinite(wordSwappedFloat(master->readInput(0, 4), 0)));
}

QTEST_GUILESS_MAIN(tst_SimulatorRegisters)
#include "tst_simulatorregisters.moc"
