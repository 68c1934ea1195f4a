// A station killed (SIGKILL) in the middle of a test keeps all but the last
// second of its points, and its next start marks the test interrupted.
#include "records/testrecorder.h"
#include "storedrecords.h"

#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

namespace {
// The child hands over 1,000 points a second.
constexpr int PointsPerSecond = 1000;
constexpr int KillAfterPoints = 2500;
constexpr int OutputTimeoutMs = 10000;
} // namespace

class tst_RecorderKill : public QObject
{
    Q_OBJECT

private slots:
    // First: this process must not yet be a copy that runs (holds the
    // installation's lock) when the child starts.
    void aSecondCopyLeavesTheFirstsTestRunning();
    void killedStationLosesAtMostTheLastSecond();
};

namespace {

// Starts the child station and waits until it has handed `points` over;
// the number handed by then.
int startChild(QProcess *child, const DatabaseConfig &config, int points)
{
    child->start(QCoreApplication::applicationDirPath() + QStringLiteral("/recorder_child"), {config.sqlitePath});
    if (!child->waitForStarted())
        return 0;
    int handed = 0;
    while (handed < points) {
        if (!child->canReadLine() && !child->waitForReadyRead(OutputTimeoutMs))
            return handed;
        while (child->canReadLine()) {
            const QByteArray line = child->readLine().trimmed();
            if (line.startsWith("handed "))
                handed = line.mid(7).toInt();
        }
    }
    return handed;
}

} // namespace

void tst_RecorderKill::killedStationLosesAtMostTheLastSecond()
{
    QTemporaryDir folder;
    DatabaseConfig config;
    config.sqlitePath = folder.filePath(QStringLiteral("torvelin.sqlite"));

    QProcess child;
    const int handed = startChild(&child, config, KillAfterPoints);
    QVERIFY2(handed >= KillAfterPoints, "the child stopped handing points over");
    child.kill();
    QVERIFY(child.waitForFinished());

    TestRecorder nextStart(config);
    QSignalSpy interrupted(&nextStart, &TestRecorder::interruptedFound);
    nextStart.start();
    QVERIFY(interrupted.wait());
    QCOMPARE(interrupted.first().first().toInt(), 1);

    StoredRecords records(config);
    QCOMPARE(records.value(QStringLiteral("SELECT status FROM tests")).toString(), TestStatus::Interrupted);
    const qint64 id = records.value(QStringLiteral("SELECT id FROM tests")).toLongLong();
    bool contiguous = false;
    const int kept = records.points(id, &contiguous).size();
    QVERIFY(contiguous);
    QVERIFY2(kept >= handed - PointsPerSecond,
             qPrintable(QStringLiteral("%1 of %2 points kept").arg(kept).arg(handed)));
}

void tst_RecorderKill::aSecondCopyLeavesTheFirstsTestRunning()
{
    QTemporaryDir folder;
    DatabaseConfig config;
    config.sqlitePath = folder.filePath(QStringLiteral("torvelin.sqlite"));
    QProcess first;
    QVERIFY2(startChild(&first, config, PointsPerSecond) >= PointsPerSecond, "the first copy hands nothing over");
    StoredRecords records(config);
    QTRY_COMPARE(records.count(QStringLiteral("FROM tests WHERE status = 'running'")), 1);

    // The same installation started again beside it, on the same database.
    TestRecorder second(config);
    QSignalSpy interrupted(&second, &TestRecorder::interruptedFound);
    second.start();
    second.begin(TestHeader::startingNow());
    second.addPoint(0, 1.0, 2.0);
    QTRY_COMPARE(second.pendingPoints(), 0);
    QVERIFY(interrupted.isEmpty());
    QCOMPARE(records.count(QStringLiteral("FROM tests WHERE status = 'running'")), 2);
    first.kill();
    QVERIFY(first.waitForFinished());
}

QTEST_GUILESS_MAIN(tst_RecorderKill)
#include "tst_recorder_kill.moc"
