// The acquisition worker against the simulated tester, over a real virtual
// serial line with real RTU framing.
#include "device/modbusthread.h"
#include "support/simulatedtester.h"
#include "support/timescale.h"

#include <QtTest>

#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace {

using TimeScale::lateBoundMs;

// The worker's pause between live polls; a request's reply pause is as long.
constexpr int PollPeriodMs = 200;
// Live readings the poll test waits for, and the longest it allows each
// one: a poll loop that stalls takes longer.
constexpr int PolledReadings = 6;
constexpr int StalledPollMs = 1000;
// A pause measured in whole milliseconds may end a little before its time.
constexpr int ClockSlackMs = 5;
// Share of a core a loop that spins on a dead line would come near 1.
constexpr double DeadLineCpuShare = 0.1;

// Receives the worker's cross-thread signals in the test's thread, as the
// main window does, with the time each one arrived.
class Recorder : public QObject
{
    Q_OBJECT

public:
    struct Curve
    {
        int stroke;
        double distance;
        double force;
    };
    QVector<float> liveForces;
    QVector<qint64> liveTimes;
    QVector<Curve> curve;
    QVector<LinkReport> links;
    QVector<qint64> linkTimes;
    QElapsedTimer clock;

    explicit Recorder(modbusThread *worker)
    {
        clock.start();
        connect(worker, &modbusThread::sendCurrentPointValue, this, &Recorder::live);
        connect(worker, &modbusThread::sendCurveData, this, &Recorder::point);
        connect(worker, &modbusThread::sendLinkReport, this, &Recorder::link);
    }
    // Index of the first report from `from` on whose answering is `answering`, or -1.
    int firstLink(bool answering, int from = 0) const
    {
        for (int i = from; i < links.size(); ++i) {
            if (links[i].answering == answering)
                return i;
        }
        return -1;
    }

private slots:
    void live(float, float force)
    {
        liveForces << force;
        liveTimes << clock.elapsed();
    }
    void point(int stroke, double x, double y) { curve << Curve{stroke, x, y}; }
    void link(LinkReport report)
    {
        links << report;
        linkTimes << clock.elapsed();
    }
};

// Opens files with another user's rights on this thread only (the
// filesystem user id is per thread): how a test run as root meets a
// permission the system would refuse an operator.
class FilesystemUser
{
public:
    explicit FilesystemUser(uid_t user) : m_previous(uid_t(setfsuid(user))) {}
    ~FilesystemUser() { setfsuid(m_previous); }

private:
    uid_t m_previous;
};
constexpr uid_t NobodyUser = 65534;

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

class tst_Worker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openFailsOnMissingDeviceAndLeavesNoContext();
    void machineTypeAndDecimalsAreReadAsUnsigned();
    void livePollRunsAboutEvery200Ms();
    void testGivesForwardThenReturnPointsWithoutLoss();
    void stopResumesLiveValuesWithinACycle();
    void settingsChangedWhileOpenApplyAtNextOpen();
    void requestAnswersAreAcceptedOrDropped_data();
    void requestAnswersAreAcceptedOrDropped();
    void closedWorkerMakesNoTransactionAndEmitsNothing();
    void stopThreadEndsTheLoopWithinOneCycle();
    void stopRightAfterStartIsNotLost();
    void stopNotTakenIsSentAgainUntilItIs_data();
    void stopNotTakenIsSentAgainUntilItIs();
    void stopBeforeClosingWaitsAtMostASecond_data();
    void stopBeforeClosingWaitsAtMostASecond();
    void garbledLiveAnswersAreDroppedAndPollingGoesOn_data();
    void garbledLiveAnswersAreDroppedAndPollingGoesOn();
    void rejectedCurveBlocksAreDroppedAndCollectionGoesOn_data();
    void rejectedCurveBlocksAreDroppedAndCollectionGoesOn();
    void lateAnswerCostsAtMostOneStaleReading();
    void silentTesterIsReportedAndItsReturnAtTheNextPoll();
    void hungUpLineComesBackOnTheSameLinkAndTheTestGoesOn();
    void stopWhileThePortIsGoneReachesTheTesterWhenItIsBack();
    void reopenedPortMustAnswerAsTheSameTester_data();
    void reopenedPortMustAnswerAsTheSameTester();
    void stopThreadDuringRetriesReturnsPromptly();
    void secondWorkerIsRefusedOnAPortInUse();
    void connectFailureSaysWhy_data();
    void connectFailureSaysWhy();

private:
    bool openOn(const QString &device);
    void hangUpDuringTest(float distanceMm, const QStringList &arguments, QString *link);
    bool startSimulator(const QStringList &arguments = {});
    Curve_Setting shortTest() const;
    Curve_Setting slowTest() const;

    SimulatedTester *sim = nullptr;
    modbusThread *worker = nullptr;
    Recorder *recorder = nullptr;
};

void tst_Worker::init()
{
    worker = new modbusThread;
    recorder = new Recorder(worker);
}

void tst_Worker::cleanup()
{
    worker->stopThread();
    worker->wait();
    delete recorder;
    delete worker;
    delete sim;
    sim = nullptr;
}

bool tst_Worker::startSimulator(const QStringList &arguments)
{
    sim = new SimulatedTester(arguments);
    if (!sim->start()) {
        qWarning() << sim->errorString();
        return false;
    }
    return openOn(sim->devicePath());
}

bool tst_Worker::openOn(const QString &device)
{
    Serial_Setting_Type setting;
    setting.portName = device;
    worker->receiveSerailSetting(setting);
    return worker->openSerial();
}

Curve_Setting tst_Worker::shortTest() const
{
    Curve_Setting setting;
    setting.speed = 500;       // mm/min
    setting.distance = 2.0f;   // mm: a quarter second each way
    return setting;
}

// Six seconds forward: still going whatever a Start or Stop test does meanwhile.
Curve_Setting tst_Worker::slowTest() const
{
    Curve_Setting setting;
    setting.speed = 100;
    setting.distance = 10.0f;
    return setting;
}

void tst_Worker::openFailsOnMissingDeviceAndLeavesNoContext()
{
    QVERIFY(!openOn(QStringLiteral("/nonexistent/ttyTORVELIN")));
    QCOMPARE(worker->getMachineType(), quint16(0));
    QCOMPARE(worker->getForceDecimals(), quint16(0));
    // With no connection the loop ends at once.
    worker->start();
    QVERIFY(worker->wait(lateBoundMs(1000)));
    QVERIFY(recorder->liveForces.isEmpty());
}

void tst_Worker::machineTypeAndDecimalsAreReadAsUnsigned()
{
    QVERIFY(startSimulator({"--type", "65535", "--decimals", "4"}));
    QCOMPARE(worker->getMachineType(), quint16(65535));
    QCOMPARE(worker->getForceDecimals(), quint16(4));
    QVERIFY(sim->command("set type 777"));
    QCOMPARE(worker->getMachineType(), quint16(777));
    QVERIFY(sim->command("fault silent 1"));
    QCOMPARE(worker->getForceDecimals(), quint16(0));
}

void tst_Worker::livePollRunsAboutEvery200Ms()
{
    QVERIFY(startSimulator());
    worker->start();
    QTRY_VERIFY(!recorder->liveForces.isEmpty());
    // The window opens before the first count and closes after the last,
    // so it holds every poll counted: however late a busy machine runs
    // them, they are a pause apart. A loop that does not pause shows itself
    // as many polls in a short window; one that stalls, as polls that do
    // not come. The exact rate is the benchmark's.
    QElapsedTimer window;
    window.start();
    const int before = sim->stats().value("fc04");
    const int live = recorder->liveForces.size();
    QTRY_VERIFY_WITH_TIMEOUT(recorder->liveForces.size() >= live + PolledReadings,
                             lateBoundMs(PolledReadings * StalledPollMs));
    const int polls = sim->stats().value("fc04") - before;
    const qint64 windowMs = window.elapsed();
    qInfo("%d live polls in %lld ms", polls, windowMs);
    QVERIFY2(polls >= PolledReadings - 1, qPrintable(QString::number(polls)));
    QVERIFY2((polls - 1) * (PollPeriodMs - ClockSlackMs) <= windowMs,
             qPrintable(QStringLiteral("%1 polls in %2 ms").arg(polls).arg(windowMs)));
    QVERIFY(recorder->curve.isEmpty());
}

void tst_Worker::testGivesForwardThenReturnPointsWithoutLoss()
{
    QVERIFY(startSimulator({"--numbered"}));
    worker->start();
    QTRY_VERIFY(!recorder->liveForces.isEmpty());
    worker->startTest(shortTest());
    QTRY_VERIFY_WITH_TIMEOUT(sim->state("phase") == "idle" && sim->state("handed") == sim->state("produced"),
                             lateBoundMs(10000));
    const int liveAtStart = recorder->liveForces.size();
    // Anything still on its way crosses the thread before the next block.
    QTRY_COMPARE(recorder->curve.size(), sim->state("handed").toInt());

    const QVector<Recorder::Curve> &points = recorder->curve;
    QVERIFY(points.size() > 20);
    QCOMPARE(points.first().stroke, 0);
    QCOMPARE(points.last().stroke, 1);
    int switches = 0;
    for (int i = 1; i < points.size(); ++i) {
        if (points[i].stroke != points[i - 1].stroke)
            ++switches;
        // Numbered forces count the points: none lost, none twice.
        QCOMPARE(points[i].force, points[i - 1].force + 1);
    }
    QCOMPARE(switches, 1);
    // In curve mode the live values stop (one read of the old kind may
    // follow the switch).
    QVERIFY(recorder->liveForces.size() <= liveAtStart + 1);
}

void tst_Worker::stopResumesLiveValuesWithinACycle()
{
    QVERIFY(startSimulator());
    worker->start();
    worker->startTest(shortTest());
    QTRY_VERIFY(!recorder->curve.isEmpty());
    const int live = recorder->liveForces.size();
    worker->stopTest();
    QCOMPARE(sim->state("phase"), QStringLiteral("idle"));
    QElapsedTimer since;
    since.start();
    QTRY_VERIFY_WITH_TIMEOUT(recorder->liveForces.size() > live, lateBoundMs(1000));
    QVERIFY(since.elapsed() < lateBoundMs(700));
}

void tst_Worker::settingsChangedWhileOpenApplyAtNextOpen()
{
    QVERIFY(startSimulator());
    Serial_Setting_Type other;
    other.portName = QStringLiteral("/nonexistent/ttyOTHER");
    other.baudRate = 9600;
    other.parity = 'E';
    worker->receiveSerailSetting(other);
    QCOMPARE(worker->getMachineType(), quint16(500));
    QCOMPARE(worker->getSerialSetting().portName, other.portName);
    QCOMPARE(worker->getSerialSetting().baudRate, 9600);
    QCOMPARE(worker->getSerialSetting().parity, 'E');
    QVERIFY(worker->closeSerial());
    QVERIFY(!worker->openSerial());
}

void tst_Worker::requestAnswersAreAcceptedOrDropped_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("settingAccepted");
    QTest::addColumn<bool>("dataAccepted");
    QTest::newRow("healthy") << QString() << true << true;
    QTest::newRow("wrong reply code") << "wrong-code" << false << false;
    QTest::newRow("register 1 below register 2") << "reg1-lt-reg2" << false << true;
    QTest::newRow("no answer") << "silent" << false << false;
    QTest::newRow("corrupted CRC") << "bad-crc" << false << false;
}

void tst_Worker::requestAnswersAreAcceptedOrDropped()
{
    QFETCH(QString, fault);
    QFETCH(bool, settingAccepted);
    QFETCH(bool, dataAccepted);
    QVERIFY(startSimulator({"--no-pacing"}));
    if (!fault.isEmpty())
        QVERIFY(sim->command("fault " + fault));
    QSignalSpy settings(worker, &modbusThread::sendSystemSetting);
    QSignalSpy data(worker, &modbusThread::sendSystemData);

    // Requests run synchronously: the answer has arrived when they return.
    worker->getSystemSet(2);
    QCOMPARE(settings.count(), settingAccepted ? 1 : 0);
    if (settingAccepted) {
        const auto pointSet = settings[0][0].value<QVector<float>>();
        const auto systemSet = settings[0][1].value<QVector<int>>();
        QCOMPARE(pointSet.size(), 25);
        QCOMPARE(systemSet.size(), 9);
        QCOMPARE(systemSet[1], 2);
        QVERIFY(systemSet[0] >= systemSet[1]);
    }
    worker->getSystemData(1, 1);
    QCOMPARE(data.count(), dataAccepted ? 1 : 0);
    if (dataAccepted) {
        const auto systemData = data[0][1].value<QVector<int>>();
        QCOMPARE(systemData.size(), 4);
        QCOMPARE(data[0][0].value<QVector<float>>().size(), 10);
    }
    if (fault.isEmpty()) {
        // Past the last group the machine answers "no such record".
        worker->getSystemData(999, 1);
        QCOMPARE(data.count(), 2);
        QCOMPARE(data[1][1].value<QVector<int>>(), (QVector<int>{255, 255, 255, 255}));
    }
}

void tst_Worker::closedWorkerMakesNoTransactionAndEmitsNothing()
{
    sim = new SimulatedTester({"--no-pacing"});
    QVERIFY(sim->start());
    Serial_Setting_Type setting;
    setting.portName = sim->devicePath();
    worker->receiveSerailSetting(setting);  // set, never opened
    QSignalSpy settings(worker, &modbusThread::sendSystemSetting);
    QSignalSpy data(worker, &modbusThread::sendSystemData);
    QElapsedTimer took;
    took.start();
    worker->getSystemSet(1);
    worker->getSystemData(1, 1);
    worker->startTest(shortTest());
    worker->stopTest();
    QCOMPARE(worker->getMachineType(), quint16(0));
    QCOMPARE(worker->getForceDecimals(), quint16(0));
    // Not even one request pause, which two requests would have made twice.
    QVERIFY(took.elapsed() < PollPeriodMs);
    QCOMPARE(settings.count(), 0);
    QCOMPARE(data.count(), 0);
    const QMap<QString, int> counts = sim->stats();
    QCOMPARE(counts.value("fc03", -1), 0);
    QCOMPARE(counts.value("fc04", -1), 0);
    QCOMPARE(counts.value("fc16", -1), 0);
}

void tst_Worker::stopThreadEndsTheLoopWithinOneCycle()
{
    QVERIFY(startSimulator());
    worker->start();
    QTRY_VERIFY(!recorder->liveForces.isEmpty());
    QElapsedTimer took;
    took.start();
    worker->stopThread();
    QVERIFY(worker->wait(lateBoundMs(2000)));
    qInfo("loop ended %lld ms after stopThread", took.elapsed());
    // One poll pause plus one transaction.
    QVERIFY(took.elapsed() < PollPeriodMs + lateBoundMs(250));
    QVERIFY(worker->closeSerial());
}

void tst_Worker::stopRightAfterStartIsNotLost()
{
    // Disconnect (or closing the window) just after Connect: the stop may
    // come before the new thread has begun its loop.
    QVERIFY(startSimulator({"--no-pacing"}));
    for (int round = 0; round < 20; ++round) {
        worker->start();
        worker->stopThread();
        QVERIFY2(worker->wait(lateBoundMs(2000)), qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

void tst_Worker::garbledLiveAnswersAreDroppedAndPollingGoesOn_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("no answer") << "silent";
    QTest::newRow("corrupted CRC") << "bad-crc";
    QTest::newRow("junk bytes") << "junk";
    QTest::newRow("truncated frame") << "truncated";
}

void tst_Worker::garbledLiveAnswersAreDroppedAndPollingGoesOn()
{
    QFETCH(QString, fault);
    QVERIFY(startSimulator({"--numbered"}));
    worker->start();
    QTRY_VERIFY(!recorder->liveForces.isEmpty());
    QVERIFY(sim->command("fault " + fault + " 2"));
    const int before = recorder->liveForces.size();
    QTRY_VERIFY_WITH_TIMEOUT(recorder->liveForces.size() >= before + 3, lateBoundMs(5000));
    // The spoiled readings are missing, not invented or repeated: the
    // numbers only grow.
    for (int i = 1; i < recorder->liveForces.size(); ++i)
        QVERIFY(recorder->liveForces[i] > recorder->liveForces[i - 1]);
}

void tst_Worker::rejectedCurveBlocksAreDroppedAndCollectionGoesOn_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("count 0") << "count-0";
    QTest::newRow("count 31") << "count-31";
    QTest::newRow("type 3") << "type-3";
    QTest::newRow("corrupted CRC") << "bad-crc";
    QTest::newRow("truncated frame") << "truncated";
}

void tst_Worker::rejectedCurveBlocksAreDroppedAndCollectionGoesOn()
{
    QFETCH(QString, fault);
    QVERIFY(startSimulator({"--numbered"}));
    worker->start();
    // After Start: a Start whose answer is garbled is no Start taken.
    QCOMPARE(worker->startTest(shortTest()), CommandReply::Taken);
    QVERIFY(sim->command("fault " + fault + " 1"));
    QTRY_VERIFY_WITH_TIMEOUT(sim->state("phase") == "idle" && sim->state("handed") == sim->state("produced"),
                             lateBoundMs(10000));
    // The last point handed out arrives (numbered forces count the points).
    QTRY_COMPARE(int(recorder->curve.last().force), sim->state("handed").toInt());
    // The spoiled block's points are lost; everything after it arrived once.
    const QVector<Recorder::Curve> &points = recorder->curve;
    int gaps = 0;
    for (int i = 1; i < points.size(); ++i) {
        QVERIFY(points[i].force > points[i - 1].force);
        if (points[i].force != points[i - 1].force + 1)
            ++gaps;
    }
    QVERIFY(gaps <= 1);
    QVERIFY(points.last().stroke == 1);
}

void tst_Worker::lateAnswerCostsAtMostOneStaleReading()
{
    QVERIFY(startSimulator({"--numbered"}));
    worker->start();
    QTRY_VERIFY(recorder->liveForces.size() >= 2);
    QVERIFY(sim->command("fault late 1"));
    const int before = recorder->liveForces.size();
    QTRY_VERIFY_WITH_TIMEOUT(recorder->liveForces.size() >= before + 4, lateBoundMs(5000));
    worker->stopThread();
    QVERIFY(worker->wait(lateBoundMs(2000)));
    // With the loop at rest, the last reading shown must be the last one the
    // machine answered: a reading one behind would show here, for good.
    QTRY_COMPARE(int(recorder->liveForces.last()), sim->stats().value("fc04"));
}

void tst_Worker::silentTesterIsReportedAndItsReturnAtTheNextPoll()
{
    QVERIFY(startSimulator());
    worker->start();
    QTRY_VERIFY(!recorder->liveForces.isEmpty());
    QVERIFY(sim->command("fault silent"));
    const qint64 silentAt = recorder->clock.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(recorder->firstLink(false) >= 0, lateBoundMs(3000));
    const int lost = recorder->firstLink(false);
    qInfo("not answering %lld ms after the tester fell silent", recorder->linkTimes[lost] - silentAt);
    QVERIFY(recorder->linkTimes[lost] - silentAt <= lateBoundMs(1500));
    const quint64 answersBefore = recorder->links[lost].counters.answers;
    QVERIFY(recorder->links[lost].counters.timeouts >= quint64(LinkHealth::FailuresInRow));

    QVERIFY(sim->command("clear silent"));
    QTRY_VERIFY_WITH_TIMEOUT(recorder->firstLink(true, lost) >= 0, lateBoundMs(3000));
    // The first answer after the silence brings the state back.
    const LinkReport back = recorder->links[recorder->firstLink(true, lost)];
    QCOMPARE(back.counters.answers, answersBefore + 1);
    QVERIFY(back.lastGapMs >= LinkHealth::SilenceMs);
    QVERIFY(!back.lastGapDuringTest);
}

// A test at 100 mm/min under way on a link path (*link, for the caller to
// remove), then the line hung up: the worker is reopening a missing device.
void tst_Worker::hangUpDuringTest(float distanceMm, const QStringList &arguments, QString *link)
{
    *link = QDir::temp().filePath(
        QStringLiteral("torvelin-worker-%1").arg(QCoreApplication::applicationPid()));
    QVERIFY(startSimulator(QStringList{"--link", *link} + arguments));
    worker->start();
    Curve_Setting test;
    test.speed = 100;
    test.distance = distanceMm;
    worker->startTest(test);
    QTRY_VERIFY(!recorder->curve.isEmpty());
    QVERIFY(sim->command("hangup"));
    QTRY_VERIFY(recorder->firstLink(false) >= 0);
}

void tst_Worker::hungUpLineComesBackOnTheSameLinkAndTheTestGoesOn()
{
    QString link;
    // Three seconds each way.
    hangUpDuringTest(5.0f, {"--numbered"}, &link);
    if (QTest::currentTestFailed())
        return;
    const int lost = recorder->firstLink(false);
    QVERIFY(recorder->links[lost].portClosed);

    // Retrying a missing device costs next to nothing.
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(1500);
    const double cpu = processCpuSeconds() - cpuBefore;
    qInfo("CPU while the port is gone: %.1f %% of a core", 100 * cpu / (wall.elapsed() / 1000.0));
    // A failed open costs the instrumented build more processor time, but a
    // spinning loop would still take near a whole core.
    const double allowed = std::min(DeadLineCpuShare * TimeScale::Factor, 0.5);
    QVERIFY2(cpu < allowed * wall.elapsed() / 1000.0, qPrintable(QString::number(cpu)));

    const int drawn = recorder->curve.size();
    QVERIFY(sim->command("reconnect"));
    QTRY_VERIFY_WITH_TIMEOUT(recorder->firstLink(true, lost) >= 0, lateBoundMs(3000));
    const LinkReport back = recorder->links[recorder->firstLink(true, lost)];
    QVERIFY(back.lastGapDuringTest);
    QVERIFY(back.counters.reopens >= 1);
    // The test's later points arrive, each once and in order.
    QTRY_VERIFY_WITH_TIMEOUT(recorder->curve.size() > drawn && recorder->curve.last().stroke == 1, lateBoundMs(10000));
    for (int i = 1; i < recorder->curve.size(); ++i)
        QVERIFY(recorder->curve[i].force > recorder->curve[i - 1].force);
    // And the live values after it.
    worker->stopTest();
    const int live = recorder->liveForces.size();
    QTRY_VERIFY(recorder->liveForces.size() > live + 1);
    QFile::remove(link);
}

void tst_Worker::stopWhileThePortIsGoneReachesTheTesterWhenItIsBack()
{
    QString link;
    // Half a minute forward.
    hangUpDuringTest(50.0f, {}, &link);
    if (QTest::currentTestFailed())
        return;

    worker->stopTest();
    QVERIFY(worker->isStopPending());
    QCOMPARE(sim->state("phase"), QStringLiteral("forward"));
    QVERIFY(sim->command("reconnect"));
    QTRY_COMPARE_WITH_TIMEOUT(sim->state("phase"), QStringLiteral("idle"), lateBoundMs(3000));
    // The tester acts on the Stop before its answer reaches the worker.
    QTRY_VERIFY(!worker->isStopPending());
    QFile::remove(link);
}

// Busy is no answer to a Stop: it is sent again until the tester takes it.
void tst_Worker::stopNotTakenIsSentAgainUntilItIs_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("reply");
    QTest::newRow("busy three times") << "busy 3" << int(CommandReply::Busy);
    QTest::newRow("answered late") << "late-write 1" << int(CommandReply::NotAnswered);
}

void tst_Worker::stopNotTakenIsSentAgainUntilItIs()
{
    QFETCH(QString, fault);
    QFETCH(int, reply);
    QVERIFY(startSimulator({"--no-pacing"}));
    worker->start();
    QCOMPARE(worker->startTest(slowTest()), CommandReply::Taken);
    QTRY_VERIFY(!recorder->curve.isEmpty());
    QSignalSpy delivered(worker, &modbusThread::sendStopDelivered);
    QVERIFY(sim->command("fault " + fault));
    QCOMPARE(int(worker->stopTest()), reply);
    QVERIFY(worker->isStopPending());
    QVERIFY(delivered.wait(lateBoundMs(3000)));
    QVERIFY(!worker->isStopPending());
    QCOMPARE(sim->state("phase"), QStringLiteral("idle"));
    QCOMPARE(sim->state("faults"), QString());
    QCOMPARE(delivered.count(), 1);
}

void tst_Worker::stopBeforeClosingWaitsAtMostASecond_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("stopped");
    QTest::newRow("busy twice") << "busy 2" << true;
    QTest::newRow("not answered") << "silent" << false;
}

void tst_Worker::stopBeforeClosingWaitsAtMostASecond()
{
    QFETCH(QString, fault);
    QFETCH(bool, stopped);
    QVERIFY(startSimulator({"--no-pacing"}));
    worker->start();
    QCOMPARE(worker->startTest(slowTest()), CommandReply::Taken);
    QTRY_VERIFY(!recorder->curve.isEmpty());
    worker->stopThread();
    QVERIFY(worker->wait(lateBoundMs(2000)));
    QVERIFY(sim->command("fault " + fault));
    QElapsedTimer took;
    took.start();
    QCOMPARE(worker->stopBeforeClosing(), stopped);
    qInfo("Stop before closing: %lld ms", took.elapsed());
    // One try beyond the second would cost another half second.
    QVERIFY(took.elapsed() <= modbusThread::StopBeforeClosingMs + lateBoundMs(250));
    QCOMPARE(sim->state("phase"), stopped ? QStringLiteral("idle") : QStringLiteral("forward"));
}

// After the port came back, the tester is read again before the test goes
// on: a machine of another type or decimals ends the loop.
void tst_Worker::reopenedPortMustAnswerAsTheSameTester_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("foundType");
    QTest::addColumn<int>("foundDecimals");
    QTest::newRow("same tester") << QString() << 500 << 3;
    QTest::newRow("another type") << "set type 1000" << 1000 << 3;
    QTest::newRow("other decimals") << "set decimals 2" << 500 << 2;
}

void tst_Worker::reopenedPortMustAnswerAsTheSameTester()
{
    QFETCH(QString, change);
    QFETCH(int, foundType);
    QFETCH(int, foundDecimals);
    TesterIdentity connected;
    QSignalSpy changed(worker, &modbusThread::sendTesterChanged);
    QString link;
    hangUpDuringTest(5.0f, {"--numbered"}, &link);
    if (QTest::currentTestFailed())
        return;
    connected.machineType = 500;
    connected.forceDecimals = 3;
    worker->expectTester(connected);
    if (!change.isEmpty())
        QVERIFY(sim->command(change));
    const int drawn = recorder->curve.size();
    QVERIFY(sim->command("reconnect"));
    if (change.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(recorder->curve.size() > drawn, lateBoundMs(3000));
        QVERIFY(changed.isEmpty());
    } else {
        QVERIFY(changed.wait(lateBoundMs(3000)));
        const auto found = changed[0][0].value<TesterIdentity>();
        QCOMPARE(found.machineType, foundType);
        QCOMPARE(found.forceDecimals, foundDecimals);
        QVERIFY(worker->wait(lateBoundMs(1000)));
        // Not one block of the other machine's, and no Stop sent to it.
        QCOMPARE(recorder->curve.size(), drawn);
        QCOMPARE(sim->stats().value("fc16"), 1);
        QVERIFY(worker->stopBeforeClosing());
    }
    QFile::remove(link);
}

void tst_Worker::stopThreadDuringRetriesReturnsPromptly()
{
    QVERIFY(startSimulator());
    worker->start();
    QVERIFY(sim->command("hangup"));
    QTRY_VERIFY(recorder->firstLink(false) >= 0);
    QElapsedTimer took;
    took.start();
    worker->stopThread();
    QVERIFY(worker->wait(lateBoundMs(2000)));
    qInfo("loop ended %lld ms after stopThread", took.elapsed());
    // Well inside the second between two attempts: the stop ends the wait.
    QVERIFY(took.elapsed() < LinkHealth::ReopenPeriodMs / 2);
}

void tst_Worker::secondWorkerIsRefusedOnAPortInUse()
{
    QVERIFY(startSimulator());
    modbusThread second;
    Serial_Setting_Type setting;
    setting.portName = sim->devicePath();
    second.receiveSerailSetting(setting);
    QVERIFY(!second.openSerial());
    QCOMPARE(second.lastOpenFailure().reason, PortOpenFailure::InUse);
    // The first still has the line to itself.
    QCOMPARE(worker->getMachineType(), quint16(500));
    worker->closeSerial();
    QVERIFY(second.openSerial());
    QCOMPARE(second.getMachineType(), quint16(500));
}

void tst_Worker::connectFailureSaysWhy_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<int>("reason");
    const int Baud = 115200;
    QTest::newRow("no such device") << "/nonexistent/ttyTORVELIN" << Baud << 8 << false << int(PortOpenFailure::NoSuchDevice);
    QTest::newRow("permission denied") << QString() << Baud << 8 << true << int(PortOpenFailure::PermissionDenied);
    QTest::newRow("14400 baud") << QString() << 14400 << 8 << false << int(PortOpenFailure::UnsupportedBaudRate);
    QTest::newRow("9 data bits") << QString() << Baud << 9 << false << int(PortOpenFailure::UnsupportedLineSettings);
}

void tst_Worker::connectFailureSaysWhy()
{
    QFETCH(QString, device);
    QFETCH(int, baudRate);
    QFETCH(int, dataBits);
    QFETCH(bool, locked);
    QFETCH(int, reason);
    sim = new SimulatedTester({"--no-pacing"});
    QVERIFY(sim->start());
    Serial_Setting_Type setting;
    setting.portName = device.isEmpty() ? sim->devicePath() : device;
    setting.baudRate = baudRate;
    setting.dataBits = dataBits;
    worker->receiveSerailSetting(setting);
    const QByteArray path = setting.portName.toLocal8Bit();
    struct stat before {};
    bool opened;
    if (locked) {
        QCOMPARE(stat(path.constData(), &before), 0);
        QCOMPARE(chmod(path.constData(), 0), 0);
        // Root opens whatever the mode says; its filesystem rights are dropped
        // on this thread while it opens.
        FilesystemUser user(geteuid() == 0 ? NobodyUser : geteuid());
        opened = worker->openSerial();
    } else {
        opened = worker->openSerial();
    }
    if (locked)
        chmod(path.constData(), before.st_mode & 07777);
    QVERIFY(!opened);
    const PortOpenFailure why = worker->lastOpenFailure();
    QCOMPARE(int(why.reason), reason);
    QCOMPARE(why.device, setting.portName);
    if (why.reason == PortOpenFailure::UnsupportedBaudRate)
        QCOMPARE(why.baudRate, 14400);
    if (why.reason == PortOpenFailure::PermissionDenied)
        QVERIFY(!why.group.isEmpty() && !why.user.isEmpty());
    // Nothing reached the tester, and the port is free again.
    QCOMPARE(sim->stats().value("fc04", -1), 0);
    if (device.isEmpty()) {
        worker->receiveSerailSetting(Serial_Setting_Type{sim->devicePath(), 115200, 8, 1, 'N'});
        QVERIFY(worker->openSerial());
    }
}

QTEST_MAIN(tst_Worker)
#include "tst_worker.moc"
