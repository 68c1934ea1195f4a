#include "session/testsession.h"

#include "device/modbusthread.h"
#include "numbers/numbertext.h"
#include "records/evaluationrecord.h"
#include "session/processwatch.h"
#include "records/testrecorder.h"
#include "session/programtestsetting.h"
#include "session/testrun.h"

namespace {

// The tester's decimals count is used only below this.
constexpr int MaxForceDecimals = 5;

void append(TestCurves *to, const TestCurves &from)
{
    for (const TestCurves::Stroke stroke : {TestCurves::Forward, TestCurves::Return}) {
        to->reserve(stroke, to->size(stroke) + from.size(stroke));
        for (const TestCurves::Point &point : from.points(stroke))
            to->add(stroke, point.distance, point.force);
    }
}

} // namespace

TestSession::TestSession(modbusThread *worker, const DatabaseConfig &records, QObject *parent)
    : QObject(parent)
    , m_worker(worker)
    , m_recorder(new TestRecorder(records, this))
    , m_run(new TestRun(this))
    , m_watcher(new ProcessWatcher)
{
    // The machine is back: the test ends as a Stop would end it (the stop
    // command where the tester needs it, the record, the verdict).
    connect(m_run, &TestRun::ended, this, &TestSession::stopTest);
    // One evaluation per pass of the event loop, however many points came.
    m_pending.setSingleShot(true);
    m_pending.setInterval(0);
    connect(&m_pending, &QTimer::timeout, this, &TestSession::evaluateNow);
    // Each test on record is judged against its part's control chart, off
    // the window's thread.
    m_watcher->moveToThread(&m_watchThread);
    connect(&m_watchThread, &QThread::finished, m_watcher, &QObject::deleteLater);
    connect(m_watcher, &ProcessWatcher::judged, this, &TestSession::processJudged);
    connect(m_recorder, &TestRecorder::testStored, this, &TestSession::watchProcess);
    // Both from the worker's loop, queued.
    connect(m_worker, &modbusThread::sendStopDelivered, this, [this] {
        if (m_connected && !m_worker->isStopPending())
            emit stopDelivered();
    });
    connect(m_worker, &modbusThread::sendTesterChanged, this, &TestSession::receiveTesterChanged);
    m_watchThread.setObjectName(QStringLiteral("process watch"));
    m_watchThread.start();
}

TestSession::~TestSession()
{
    // The window closed with the test still running: ended by the machine,
    // it would have been closed already.
    finishTest(!m_run->hasReturned());
    m_watchThread.quit();
    m_watchThread.wait();
}

int TestSession::forceDecimals() const
{
    return ::forceDecimals;
}

bool TestSession::connectTester()
{
    if (!m_worker->openSerial())
        return false;
    m_connected = true;
    m_machineType = m_worker->getMachineType();
    m_tester = TesterIdentity();
    // No tester is of type 0: it is what a failed read gives.
    if (m_machineType != 0)
        m_tester.machineType = m_machineType;
    // A read that failed (tester still booting, noise on the line) is no
    // count of 0: taking it would cost every force shown and saved in this
    // session its decimals. The count in use stays. The number texts of
    // every layer read it from where they format.
    quint16 decimals = 0;
    if (m_worker->readForceDecimals(&decimals)) {
        m_tester.forceDecimals = decimals;
        if (decimals < MaxForceDecimals)
            ::forceDecimals = decimals;
    }
    m_worker->expectTester(m_tester);
    m_worker->start();
    emit connectionChanged(true);
    return true;
}

bool TestSession::disconnectTester()
{
    m_worker->stopThread();
    m_worker->wait();
    // A machine must not run on because its link was closed under the test.
    const bool stopped = m_worker->stopBeforeClosing();
    m_worker->closeSerial();
    const bool aborted = !m_run->hasReturned();
    m_run->stop();
    finishTest(aborted);
    m_connected = false;
    emit connectionChanged(false);
    return stopped;
}

// The worker's loop has ended by itself: nothing more is taken from, or
// sent to, a machine that is not the one the test runs on.
void TestSession::receiveTesterChanged(const TesterIdentity &found)
{
    if (!m_connected)
        return;
    m_worker->wait();
    m_worker->closeSerial();
    const bool testStopped = m_testOpen;
    const bool aborted = !m_run->hasReturned();
    m_run->stop();
    finishTest(aborted);
    m_connected = false;
    emit connectionChanged(false);
    emit testerReplaced(m_tester, found, testStopped);
}

bool TestSession::startTest(const Curve_Setting &setting, const TestIdentity &identity,
                            const LibraryChoice &library, qint64 verificationId)
{
    m_startReply = m_worker->startTest(setting);
    if (!m_connected || m_startReply != CommandReply::Taken)
        return false;
    finishTest(!m_run->hasReturned());
    m_run->start();
    m_gaps.reset();
    m_aborted = false;
    // Each spring on a clean plot, as after Refresh: the previous one's
    // curves are on record.
    m_earlier.clear();
    m_judged.clear();
    m_shown = Shown::Test;
    m_judging = m_chosen;
    m_judgingName = m_chosenName;
    m_serialNumber = identity.serialNumber;
    m_testOpen = true;
    setProcessAlarm(QString());

    TestHeader header = TestHeader::startingNow();
    header.identity = identity;
    header.setting = setting;
    header.machineType = m_machineType;
    header.forceDecimals = ::forceDecimals;
    header.line = m_worker->getSerialSetting();
    // A library version judges only with its own program: the window's
    // choice of anything else resets it.
    if (m_judging && library.fromLibrary()) {
        header.programId = library.id;
        header.programVersion = library.version;
    }
    header.verificationId = verificationId;
    m_recorder->begin(header);
    emit curvesReplaced();
    emit testStarted();
    evaluateNow();
    return true;
}

void TestSession::stopTest()
{
    m_stopReply = m_worker->stopTest();
    const bool aborted = !m_run->hasReturned();
    m_run->stop();
    finishTest(aborted);
}

bool TestSession::isStopPending() const
{
    return m_worker->isStopPending();
}

bool TestSession::isTestRunning() const
{
    return m_run->isRunning();
}

void TestSession::finishTest(bool aborted)
{
    if (!m_testOpen)
        return;
    m_testOpen = false;
    m_aborted = aborted;
    evaluateNow();
    // A test that ends while the tester is silent has its gap up to now.
    if (m_gaps.isSilent())
        m_gaps.answering(m_silentSince.isValid()
                             ? m_silentSince.msecsTo(QDateTime::currentDateTimeUtc())
                             : 0);
    TestEnding ending;
    ending.aborted = aborted;
    ending.gap = m_gaps.gap();
    m_recorder->finish(aborted ? EvaluationRecord() : evaluationRecord(), ending);
    emit testEnded();
}

EvaluationRecord TestSession::evaluationRecord() const
{
    if (m_shown == Shown::Record || !m_judging)
        return EvaluationRecord();
    return EvaluationRecords::of(m_evaluation, *m_judging);
}

bool TestSession::addPoint(int stroke, double distance, double force)
{
    if (!TestCurves::isStroke(stroke) || !TestCurves::isFinitePoint(distance, force))
        return false;
    // Points while no test is open (blocks still on their way after the
    // machine came back or after Stop) are drawn, not judged.
    TestCurves &curves = m_testOpen ? m_judged : m_earlier;
    curves.add(stroke, distance, force);
    // The record keeps the point as the curves hold it.
    const TestCurves::Point &held = curves.points(TestCurves::Stroke(stroke)).last();
    m_recorder->addPoint(stroke, held.distance, held.force);
    if (m_testOpen) {
        m_run->pointArrived(stroke, distance);
        m_gaps.point(distance);
        evaluateSoon();
    }
    return true;
}

void TestSession::linkReport(const LinkReport &report)
{
    m_run->linkAnswering(report.answering);
    if (!m_testOpen || report.answering != m_gaps.isSilent())
        return;
    if (report.answering) {
        m_gaps.answering(report.lastGapMs);
    } else {
        m_gaps.silent();
        m_silentSince = report.silentSince;
    }
}

void TestSession::clearCurves()
{
    m_earlier.clear();
    if (!m_testOpen) {
        m_judged.clear();
        judgeWithChosenProgram();
    }
    emit curvesReplaced();
    evaluateNow();
}

bool TestSession::showCurves(const TestCurves &curves)
{
    if (m_testOpen)
        return false;
    m_earlier.clear();
    m_judged = curves;
    judgeWithChosenProgram();
    emit curvesReplaced();
    evaluateNow();
    return true;
}

bool TestSession::showStoredTest(const StoredTest &test)
{
    if (m_testOpen)
        return false;
    m_earlier.clear();
    m_judged.clear();
    for (const RecordedPoint &point : test.points)
        m_judged.add(point.stroke, point.distance, point.force);
    m_shown = Shown::Record;
    m_aborted = test.status == TestStatus::Aborted;
    m_judging.reset();
    m_recordJudged = test.evaluation.judged;
    m_judgingName = m_recordJudged
                        ? tr("program %1 as recorded").arg(test.evaluation.programNumber)
                        : QString();
    m_evaluation = EvaluationRecords::toEvaluation(test.evaluation);
    m_serialNumber = test.header.identity.serialNumber;
    emit curvesReplaced();
    evaluateNow();
    return true;
}

TestCurves TestSession::curves() const
{
    TestCurves all = m_earlier;
    append(&all, m_judged);
    return all;
}

void TestSession::useProgram(const TestProgram &program, const QString &name)
{
    // The same program read again (at the next Connect) keeps the settings
    // the operator accepted for it.
    if (!m_chosen || !(*m_chosen == program))
        m_acceptedSinceProgram = false;
    m_chosen = program;
    m_chosenName = name;
    emit testSettingChanged();
    if (m_shown == Shown::Curves) {
        judgeWithChosenProgram();
        evaluateNow();
    }
}

void TestSession::useNoProgram()
{
    m_chosen.reset();
    m_chosenName.clear();
    m_acceptedSinceProgram = false;
    emit testSettingChanged();
    if (m_shown == Shown::Curves) {
        judgeWithChosenProgram();
        evaluateNow();
    }
}

Curve_Setting TestSession::testSetting(const Curve_Setting &accepted) const
{
    if (!m_chosen || m_acceptedSinceProgram)
        return accepted;
    return ProgramTestSetting::applied(accepted, *m_chosen);
}

void TestSession::settingAccepted()
{
    m_acceptedSinceProgram = m_chosen.has_value();
    emit testSettingChanged();
}

// Curves that are no test on record: whatever is chosen judges them.
void TestSession::judgeWithChosenProgram()
{
    m_shown = Shown::Curves;
    m_aborted = false;
    m_judging = m_chosen;
    m_judgingName = m_chosenName;
    m_recordJudged = false;
    m_serialNumber.clear();
}

bool TestSession::isJudging() const
{
    return m_shown == Shown::Record ? m_recordJudged : m_judging.has_value();
}

bool TestSession::hasVerdict() const
{
    return isJudging() && !m_judged.isEmpty() && !m_aborted;
}

void TestSession::evaluateSoon()
{
    if (m_judging && !m_pending.isActive())
        m_pending.start();
}

void TestSession::evaluateNow()
{
    m_pending.stop();
    // A record keeps the verdict it was given.
    if (m_shown != Shown::Record)
        m_evaluation = m_judging ? SpringEvaluation::evaluate(m_judged, *m_judging) : Evaluation();
    emit judgementChanged();
}

void TestSession::watchProcess(qint64 testId)
{
    const ChartChoice choice = ChartChoice::stored();
    ProcessWatcher *watcher = m_watcher;
    QMetaObject::invokeMethod(watcher, [watcher, testId, choice] { watcher->judge(testId, choice); });
}

// A test's alarm stands until the next Start; a test without one says
// nothing new.
void TestSession::processJudged(const QString &alarm)
{
    if (!alarm.isEmpty())
        setProcessAlarm(alarm);
}

void TestSession::setProcessAlarm(const QString &text)
{
    if (text == m_processAlarm)
        return;
    m_processAlarm = text;
    emit processAlarmChanged();
}
