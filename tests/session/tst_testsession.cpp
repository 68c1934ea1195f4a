// The session's rules without a widget: the worker against the simulated
// tester, the recorder on a file of its own.
#include "device/modbusthread.h"
#include "records/databaseconfig.h"
#include "records/recordqueries.h"
#include "records/recordsdatabase.h"
#include "records/chartchoice.h"
#include "settings/usersettings.h"
#include "records/testrecorder.h"
#include "records/teststore.h"
#include "session/testsession.h"
#include "support/simulatedtester.h"

#include <QtTest>

#include <memory>

namespace {

// One test point at 5 mm, 10 N ± 5 %: a 2 N/mm spring passes (10.2 N
// forward), a 4 N/mm spring fails (20.4 N).
constexpr double PointDistance = 5;
constexpr double PointForce = 10;
constexpr double TolerancePercent = 5;
const char GoodRate[] = "2";
const char StiffRate[] = "4";
constexpr float TestDistance = 6;
constexpr int TestSpeed = 500;
constexpr int TestTimeoutMs = 20000;
const char Reader[] = "session-reader";

TestProgram fivePercentAtFive()
{
    TestProgram program;
    program.number = 7;
    TestPoint point;
    point.distance = PointDistance;
    point.force = PointForce;
    point.tolerancePercent = TolerancePercent;
    program.points = {point};
    return program;
}

} // namespace

class tst_TestSession : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void eachSpringIsJudgedAloneAndItsRecordAgrees();
    void aRecordShowsItsOwnVerdictNotTheChosenProgram();
    void refreshDuringATestKeepsWhatItIsJudgedOn();
    void aSilentSpellMidReturnIsAGapNotTheEnd();
    void aSpringOffTheChartRaisesTheAlarm();
    void aStartTheTesterDidNotTakeOpensNoTest_data();
    void aStartTheTesterDidNotTakeOpensNoTest();
    void disconnectDuringATestStopsTheMachineFirst();
    void anotherTesterBehindTheReopenedPortEndsTheTest();

private:
    void runTest(const QString &serialNumber, const QString &partNumber = QString());
    Curve_Setting slowTest() const;
    StoredTest stored(qint64 id);

    QTemporaryDir dir;
    DatabaseConfig records;
    std::unique_ptr<SimulatedTester> sim;
    modbusThread *worker = nullptr;
    std::unique_ptr<TestSession> session;
    QList<qint64> storedIds;
};

void tst_TestSession::init()
{
    // The silent spell needs the machine's own clock: a return stroke that
    // lasts.
    const bool paced = qstrcmp(QTest::currentTestFunction(), "aSilentSpellMidReturnIsAGapNotTheEnd") == 0;
    QStringList arguments{"--spring-rate", GoodRate};
    if (!paced)
        arguments.prepend(QStringLiteral("--no-pacing"));
    sim = std::make_unique<SimulatedTester>(arguments);
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    qputenv("TORVELIN_PORT", sim->devicePath().toLocal8Bit());
    records.engine = DatabaseConfig::SQLite;
    records.sqlitePath = dir.filePath(QStringLiteral("session-%1.sqlite").arg(QTest::currentTestFunction()));
    worker = new modbusThread;
    session = std::make_unique<TestSession>(worker, records);
    storedIds.clear();
    connect(session->recorder(), &TestRecorder::testStored, this, [this](qint64 id) { storedIds << id; });
    // The window's way in for every point: queued from the worker's thread.
    connect(worker, &modbusThread::sendCurveData, session.get(), &TestSession::addPoint);
    connect(worker, &modbusThread::sendLinkReport, session.get(), &TestSession::linkReport);
    session->recorder()->start();
    QVERIFY(session->connectTester());
    QVERIFY(session->isConnected());
    session->useProgram(fivePercentAtFive(), QStringLiteral("five at five"));
}

void tst_TestSession::cleanup()
{
    if (session)
        session->disconnectTester();
    session.reset();
    delete worker;
    worker = nullptr;
    RecordsDatabase::close(QLatin1String(Reader));
    sim.reset();
    qunsetenv("TORVELIN_PORT");
}

// Start, the machine's whole stroke out and back, Stop.
void tst_TestSession::runTest(const QString &serialNumber, const QString &partNumber)
{
    Curve_Setting setting;
    setting.distance = TestDistance;
    setting.speed = TestSpeed;
    TestIdentity identity;
    identity.serialNumber = serialNumber;
    identity.partNumber = partNumber;
    QVERIFY(session->startTest(setting, identity));
    QVERIFY(session->isTestOpen());
    QTRY_COMPARE_WITH_TIMEOUT(sim->state("phase"), QStringLiteral("idle"), TestTimeoutMs);
    QTRY_COMPARE(sim->state("handed"), sim->state("total"));
    const int total = sim->state("total").toInt();
    QTRY_COMPARE(session->judgedCurves().size(TestCurves::Forward)
                     + session->judgedCurves().size(TestCurves::Return),
                 total);
    session->stopTest();
    QVERIFY(!session->isTestOpen());
}

StoredTest tst_TestSession::stored(qint64 id)
{
    QString error;
    StoredTest test;
    const bool opened = RecordsDatabase::open(records, QLatin1String(Reader), &error);
    if (!opened || !RecordQueries::loadTest(QSqlDatabase::database(QLatin1String(Reader)), id, true,
                                            &test, &error))
        qWarning() << error;
    return test;
}

// Two springs of different rates without Refresh: the stiff one is judged
// on its own points, not on the first segment of the good one that spans
// the test point, and what the panel reads is what its record keeps.
void tst_TestSession::eachSpringIsJudgedAloneAndItsRecordAgrees()
{
    runTest(QStringLiteral("SN-1"));
    QVERIFY(session->hasVerdict());
    QVERIFY(session->evaluation().passed());
    const int firstPoints = session->judgedCurves().size(TestCurves::Forward)
                            + session->judgedCurves().size(TestCurves::Return);

    QVERIFY(sim->command(QStringLiteral("set spring-rate %1").arg(StiffRate)));
    runTest(QStringLiteral("SN-2"));
    QVERIFY(!session->evaluation().passed());
    QCOMPARE(session->serialNumber(), QStringLiteral("SN-2"));
    // The second spring started on a clean plot.
    const TestCurves all = session->curves();
    QCOMPARE(all.size(TestCurves::Forward) + all.size(TestCurves::Return), sim->state("total").toInt());
    QVERIFY(firstPoints > 0);

    QTRY_COMPARE(storedIds.size(), 2);
    const StoredTest good = stored(storedIds.at(0));
    const StoredTest stiff = stored(storedIds.at(1));
    QCOMPARE(good.evaluation.verdict, Verdict::Pass);
    QCOMPARE(stiff.evaluation.verdict, Verdict::Fail);
    QCOMPARE(stiff.points.size(), sim->state("total").toInt());
    QCOMPARE(stiff.evaluation.points.size(), 1);
    QCOMPARE(*stiff.evaluation.points.at(0).force, *session->evaluation().points.at(0).force);
}

// A record opened from History is shown with the program and the verdict it
// was recorded with, whatever is chosen now; curves opened from a file are
// judged by the chosen program.
void tst_TestSession::aRecordShowsItsOwnVerdictNotTheChosenProgram()
{
    runTest(QStringLiteral("SN-1"));
    QTRY_COMPARE(storedIds.size(), 1);
    const StoredTest good = stored(storedIds.at(0));

    TestProgram strict = fivePercentAtFive();
    strict.points[0].force = 2 * PointForce;
    session->useProgram(strict, QStringLiteral("strict"));
    QVERIFY(session->showStoredTest(good));
    QCOMPARE(session->shown(), TestSession::Shown::Record);
    QVERIFY(session->hasVerdict());
    QVERIFY(session->evaluation().passed());
    QCOMPARE(session->evaluation().points.at(0).limits.upper, good.evaluation.points.at(0).upper);
    QVERIFY(session->programName().contains(QString::number(fivePercentAtFive().number)));
    QCOMPARE(session->serialNumber(), QStringLiteral("SN-1"));
    // Choosing a program does not judge the record again.
    session->useNoProgram();
    QVERIFY(session->evaluation().passed());

    session->useProgram(strict, QStringLiteral("strict"));
    QVERIFY(session->showCurves(session->judgedCurves()));
    QCOMPARE(session->programName(), QStringLiteral("strict"));
    QVERIFY(!session->evaluation().passed());

    StoredTest unjudged = good;
    unjudged.evaluation = EvaluationRecord();
    QVERIFY(session->showStoredTest(unjudged));
    QVERIFY(!session->isJudging());
    QVERIFY(session->programName().isEmpty());
}

// Refresh while a test runs clears the earlier springs, never the points
// the test's verdict is made of; a file or a record cannot replace them.
void tst_TestSession::refreshDuringATestKeepsWhatItIsJudgedOn()
{
    runTest(QStringLiteral("SN-1"));
    Curve_Setting setting;
    setting.distance = TestDistance;
    setting.speed = TestSpeed;
    QVERIFY(session->startTest(setting, TestIdentity()));
    QTRY_VERIFY_WITH_TIMEOUT(session->judgedCurves().size(TestCurves::Forward) > 0, TestTimeoutMs);
    QSignalSpy replaced(session.get(), &TestSession::curvesReplaced);
    session->clearCurves();
    QCOMPARE(replaced.count(), 1);
    QVERIFY(!session->judgedCurves().isEmpty());
    QVERIFY(!session->showCurves(TestCurves()));
    QVERIFY(!session->showStoredTest(StoredTest()));
    QTRY_COMPARE_WITH_TIMEOUT(sim->state("phase"), QStringLiteral("idle"), TestTimeoutMs);
    QTRY_COMPARE(sim->state("handed"), sim->state("total"));
    const int total = sim->state("total").toInt();
    QTRY_COMPARE(session->curves().size(TestCurves::Forward) + session->curves().size(TestCurves::Return),
                 total);
    session->stopTest();
    session->clearCurves();
    QVERIFY(!session->hasCurves());
    QVERIFY(!session->hasVerdict());
}

// Three seconds without an answer on the return stroke are no end of the
// test: the record stays open, gets every point the session holds, ends
// complete when the machine is back, and keeps the spell's length and place.
void tst_TestSession::aSilentSpellMidReturnIsAGapNotTheEnd()
{
    constexpr int SilentMs = 3000;
    constexpr double GapSlackSeconds = 1.0;
    constexpr int PacedSpeed = 120; // 3 s a stroke
    Curve_Setting setting;
    setting.distance = TestDistance;
    setting.speed = PacedSpeed;
    QVERIFY(session->startTest(setting, TestIdentity()));
    QTRY_COMPARE_WITH_TIMEOUT(sim->state("phase"), QStringLiteral("return"), TestTimeoutMs);
    QElapsedTimer spell;
    spell.start();
    QVERIFY(sim->command(QStringLiteral("fault silent")));
    // The spell itself: the tester stays silent this long, whatever comes.
    QTest::qWait(SilentMs);
    QVERIFY(session->isTestOpen());
    QVERIFY(sim->command(QStringLiteral("clear silent")));
    const double spellSeconds = spell.elapsed() / 1000.0;
    // The machine back, the session ends the test by itself.
    QTRY_VERIFY_WITH_TIMEOUT(!session->isTestOpen(), TestTimeoutMs);
    QVERIFY(!session->isAborted());
    QTRY_COMPARE(storedIds.size(), 1);
    const StoredTest test = stored(storedIds.at(0));
    QCOMPARE(test.status, TestStatus::Complete);
    QCOMPARE(test.points.size(), session->judgedCurves().size(TestCurves::Forward)
                                     + session->judgedCurves().size(TestCurves::Return));
    QCOMPARE(test.points.size(), sim->state("total").toInt());
    QVERIFY(test.gap);
    // The gap spans the spell, from the last answer before it to the first
    // after: at most a poll, a timeout and a poll longer, as long as the
    // spell took on a busy machine.
    QVERIFY2(test.gap->seconds >= spellSeconds - GapSlackSeconds
                 && test.gap->seconds <= spellSeconds + GapSlackSeconds,
             qPrintable(QStringLiteral("%1 s for a spell of %2 s").arg(test.gap->seconds).arg(spellSeconds)));
    QVERIFY(test.gap->fromDistance && test.gap->toDistance);
    QVERIFY(*test.gap->fromDistance < *test.gap->toDistance);
}

// A part's steady history, then a spring twice as stiff: the test just
// recorded breaks rule 1 of the individuals chart, and the session says so
// (rule and point) until the next Start; a good spring after it does not.
void tst_TestSession::aSpringOffTheChartRaisesTheAlarm()
{
    const QString part = QStringLiteral("SP-ALARM");
    qputenv("TORVELIN_DB", QFile::encodeName(records.sqlitePath));
    // Rule 1 and the Western Electric 5 and 6, and as an operator might
    // type them into the settings file.
    Spc::RuleSet ruleOne;
    for (int rule : {1, 5, 6})
        ruleOne.set(rule, true);
    ChartChoice{ruleOne, 1}.store();
    QCOMPARE(ChartChoice::stored().rules, ruleOne);
    {
        QSettings settings = TorvelinSettings::open();
        settings.setValue(QStringLiteral("Spc/rules"), QStringLiteral("1,5,6"));
    }
    QCOMPARE(ChartChoice::stored().rules, ruleOne);
    QString error;
    QVERIFY2(RecordsDatabase::open(records, QLatin1String(Reader), &error), qPrintable(error));
    TestStore store(QSqlDatabase::database(QLatin1String(Reader)));
    const QDateTime yesterday = QDateTime::currentDateTimeUtc().addDays(-1);
    for (int i = 0; i < 12; ++i) {
        TestHeader header;
        header.startedAt = yesterday.addSecs(60 * i);
        header.identity.partNumber = part;
        qint64 id = 0;
        EvaluationRecord e;
        e.judged = true;
        e.programNumber = fivePercentAtFive().number;
        e.verdict = Verdict::Pass;
        const double force = i % 2 ? 10.15 : 10.25;
        e.points = {{1, PointDistance, force, 9.5, 10.5, Verdict::Pass}};
        QVERIFY(store.insertTest(header, &id) && store.finishTest(id, header.startedAt.addSecs(10), e));
    }

    QSignalSpy alarms(session.get(), &TestSession::processAlarmChanged);
    QVERIFY(sim->command(QStringLiteral("set spring-rate %1").arg(StiffRate)));
    runTest(QStringLiteral("SN-STIFF"), part);
    QTRY_VERIFY_WITH_TIMEOUT(!session->processAlarm().isEmpty(), TestTimeoutMs);
    QVERIFY2(session->processAlarm().contains(QStringLiteral("test point 1 breaks rule 1 one point beyond 3σ")),
             qPrintable(session->processAlarm()));
    QVERIFY(session->processAlarm().contains(part));
    QCOMPARE(alarms.count(), 1);

    QVERIFY(sim->command(QStringLiteral("set spring-rate %1").arg(GoodRate)));
    runTest(QStringLiteral("SN-GOOD"), part);
    QTRY_COMPARE(storedIds.size(), 2);
    QVERIFY(session->processAlarm().isEmpty()); // cleared at Start, nothing new
    QCOMPARE(alarms.count(), 2);
    qunsetenv("TORVELIN_DB");
}

// Six seconds forward: under way whatever the test does meanwhile.
Curve_Setting tst_TestSession::slowTest() const
{
    Curve_Setting setting;
    setting.distance = TestDistance;
    setting.speed = 60;
    return setting;
}

void tst_TestSession::aStartTheTesterDidNotTakeOpensNoTest_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("reply");
    QTest::newRow("busy") << "busy 1" << int(CommandReply::Busy);
    QTest::newRow("answered late") << "late-write 1" << int(CommandReply::NotAnswered);
}

// The earlier spring stays in view, judged as before; nothing is recorded.
void tst_TestSession::aStartTheTesterDidNotTakeOpensNoTest()
{
    QFETCH(QString, fault);
    QFETCH(int, reply);
    runTest(QStringLiteral("SN-1"));
    QTRY_COMPARE(storedIds.size(), 1);
    const TestCurves before = session->judgedCurves();
    QVERIFY(sim->command("fault " + fault));
    TestIdentity identity;
    identity.serialNumber = QStringLiteral("SN-2");
    QVERIFY(!session->startTest(slowTest(), identity));
    QCOMPARE(int(session->lastStartReply()), reply);
    QVERIFY(!session->isTestOpen());
    QVERIFY(!session->isTestRunning());
    QVERIFY(!session->recorder()->isTestOpen());
    QCOMPARE(session->serialNumber(), QStringLiteral("SN-1"));
    QCOMPARE(session->judgedCurves().size(TestCurves::Forward), before.size(TestCurves::Forward));
    QTRY_COMPARE(sim->state("phase"), QStringLiteral("idle"));
}

void tst_TestSession::disconnectDuringATestStopsTheMachineFirst()
{
    QVERIFY(session->startTest(slowTest(), TestIdentity()));
    QTRY_VERIFY(!session->judgedCurves().isEmpty());
    QVERIFY(session->disconnectTester());
    QCOMPARE(sim->state("phase"), QStringLiteral("idle"));
    QTRY_COMPARE(storedIds.size(), 1);
}

// An adapter plugged into another machine while the port was reopened: the
// test's record ends there, and the link with it.
void tst_TestSession::anotherTesterBehindTheReopenedPortEndsTheTest()
{
    session->disconnectTester();
    const QString link = dir.filePath(QStringLiteral("tester"));
    sim = std::make_unique<SimulatedTester>(QStringList{"--no-pacing", "--link", link});
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    Serial_Setting_Type line;
    line.portName = link;
    worker->receiveSerailSetting(line);
    QVERIFY(session->connectTester());
    QSignalSpy replaced(session.get(), &TestSession::testerReplaced);
    QVERIFY(session->startTest(slowTest(), TestIdentity()));
    QTRY_VERIFY(!session->judgedCurves().isEmpty());
    QVERIFY(sim->command("hangup"));
    QVERIFY(sim->command("set type 1000"));
    QVERIFY(sim->command("reconnect"));
    QVERIFY(replaced.wait(10000));
    QCOMPARE(replaced[0][0].value<TesterIdentity>().machineType, 500);
    QCOMPARE(replaced[0][1].value<TesterIdentity>().machineType, 1000);
    QVERIFY(replaced[0][2].toBool());
    QVERIFY(!session->isConnected());
    QVERIFY(!session->isTestOpen());
    QTRY_COMPARE(storedIds.size(), 1);
}

QTEST_MAIN(tst_TestSession)
#include "tst_testsession.moc"
