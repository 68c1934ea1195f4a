#pragma once

#include "curves/testcurves.h"
#include "device/linkhealth.h"
#include "device/settings.h"
#include "evaluation/evaluation.h"
#include "programlibrary/programversion.h"
#include "records/databaseconfig.h"
#include "records/storedtest.h"
#include "session/linegaptracker.h"

#include <QObject>
#include <QThread>
#include <QTimer>

#include <optional>

class modbusThread;
class TestRecorder;
class TestRun;
class ProcessWatcher;

// What the window knows about the tester and the test in view, without a
// widget: whether the tester is connected, its type and force decimals, the
// curves in view, the running test, the one evaluation that the results
// panel shows and the record keeps, and the recording of each test.
//
// The curves in view are of two kinds. The judged curves are the running
// (or last ended) test's points, a curve file opened, or a record opened
// from History; only they are judged. Points that come while no test is
// open (blocks still on their way after its end) are drawn but never judged.
//
// The worker's operations are called here on the calling thread, as the
// window called them; its loop and its lock stay the worker's.
class TestSession : public QObject
{
    Q_OBJECT

public:
    // What the judged curves are.
    enum class Shown {
        Curves, // nothing, or a curve file: the chosen program judges them
        Test,   // this session's test, running or ended: judged by the program at its Start
        Record, // a test on record: its own program and verdict
    };

    // Records into `records`; the caller starts the recorder once it has
    // connected to its signals (recorder()->start()).
    TestSession(modbusThread *worker, const DatabaseConfig &records, QObject *parent = nullptr);
    // A test still open is finished and recorded.
    ~TestSession() override;

    modbusThread *worker() const { return m_worker; }
    TestRecorder *recorder() const { return m_recorder; }
    TestRun *run() const { return m_run; }

    // Opens the port, reads the machine type and the force decimals and
    // starts the worker's loop. False when the port does not open (the
    // worker says why).
    bool connectTester();
    // Stops the worker's loop and closes the port; a running test ends.
    void disconnectTester();
    bool isConnected() const { return m_connected; }
    // The tester's force range in N as it answered at Connect; 0 when it
    // did not answer.
    int machineType() const { return m_machineType; }
    int forceDecimals() const;

    // Sends the start command. Without a connection nothing starts (false).
    // The test starts on a clean plot, as after Refresh. `library` and
    // `verificationId` are what the record keeps of the library version
    // judging it and the verification in force (0: none).
    bool startTest(const Curve_Setting &setting, const TestIdentity &identity,
                   const LibraryChoice &library = LibraryChoice(), qint64 verificationId = 0);
    // Sends Stop and ends the test: aborted when the machine had not
    // returned.
    void stopTest();
    // From Start until its end, Stop or Disconnect (Start stays locked
    // meanwhile).
    bool isTestRunning() const;
    // From Start until the test ended (Stop, Disconnect or the machine
    // back): its points are recorded and judged.
    bool isTestOpen() const { return m_testOpen; }

    // Every curve point the worker reports comes here. False when the curves
    // refuse it (not finite, no stroke).
    bool addPoint(int stroke, double distance, double force);
    // The worker's word on the line: the machine's end is not looked for
    // while the tester is silent, and such a spell during the test goes on
    // its record.
    void linkReport(const LinkReport &report);
    // Refresh: clears the curves in view; a test still open keeps its own.
    void clearCurves();
    // Curves of a file take the place of everything in view. While a test
    // is open its curves stay (false): they are what its record is judged on.
    bool showCurves(const TestCurves &curves);
    // A test on record takes the place of everything in view, with the
    // program and the verdict it was recorded with; not while a test is
    // open (false).
    bool showStoredTest(const StoredTest &test);
    // Everything in view, earlier tests' points first: what Save writes.
    TestCurves curves() const;
    // The curves judged: the test's, the file's or the record's.
    const TestCurves &judgedCurves() const { return m_judged; }
    bool hasCurves() const { return !m_earlier.isEmpty() || !m_judged.isEmpty(); }
    Shown shown() const { return m_shown; }

    // The program chosen in the Program menu; it judges the next test and
    // curves opened from a file.
    void useProgram(const TestProgram &program, const QString &name);
    void useNoProgram();
    const std::optional<TestProgram> &chosenProgram() const { return m_chosen; }

    // What Start sends, from the settings last accepted in Chart: with a
    // program chosen, its speed and a distance just beyond its farthest
    // point, unless Chart accepted settings since it was chosen.
    Curve_Setting testSetting(const Curve_Setting &accepted) const;
    // Chart accepted settings: they win over the chosen program's until
    // another program (or none) is chosen.
    void settingAccepted();

    // The judgement of the judged curves, as the results panel shows it.
    // A program (or a record's verdict) applies to them.
    bool isJudging() const;
    // The name of the program that judges them; empty when none does.
    QString programName() const { return m_judgingName; }
    // There is a verdict to read: a program and curves (or a judged record),
    // of a test that was not aborted.
    bool hasVerdict() const;
    // The test in view was stopped before the machine returned (or is the
    // record of one): no judged spring.
    bool isAborted() const { return m_aborted; }
    const Evaluation &evaluation() const { return m_evaluation; }
    // The serial number of the spring whose curves are judged.
    QString serialNumber() const { return m_serialNumber; }

    // The record's form of an evaluation: what finishing the open test
    // hands the recorder.
    EvaluationRecord evaluationRecord() const;

    // What the last test recorded says of its part's process: the rules
    // of the station's control charts it broke, in words; empty when none
    // (and from each Start on).
    QString processAlarm() const { return m_processAlarm; }

signals:
    void connectionChanged(bool connected);
    void testStarted();
    // The open test ended and is on its way to the records.
    void testEnded();
    // The curves in view were replaced or cleared; the plot redraws them.
    void curvesReplaced();
    // The evaluation, the program or the testing state changed.
    void judgementChanged();
    // What the next Start sends may have changed (a program chosen or
    // closed, settings accepted).
    void testSettingChanged();
    // processAlarm() changed: raised by a test on record, cleared at Start.
    void processAlarmChanged();

private:
    void finishTest(bool aborted);
    void judgeWithChosenProgram();
    void evaluateSoon();
    void evaluateNow();
    void watchProcess(qint64 testId);
    void processJudged(const QString &alarm);
    void setProcessAlarm(const QString &text);

    modbusThread *m_worker;
    TestRecorder *m_recorder;
    TestRun *m_run;
    bool m_connected = false;
    int m_machineType = 0;

    TestCurves m_earlier;
    TestCurves m_judged;
    Shown m_shown = Shown::Curves;
    bool m_testOpen = false;
    bool m_aborted = false;
    LineGapTracker m_gaps;
    QDateTime m_silentSince;

    std::optional<TestProgram> m_chosen;
    QString m_chosenName;
    bool m_acceptedSinceProgram = false;
    std::optional<TestProgram> m_judging;
    QString m_judgingName;
    bool m_recordJudged = false;
    Evaluation m_evaluation;
    QString m_serialNumber;
    QTimer m_pending;
    QString m_processAlarm;
    QThread m_watchThread;
    ProcessWatcher *m_watcher;
};
