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
    void killedStationLosesAtMostTheLastSecond();
};

void tst_RecorderKill::killedStationLosesAtMostTheLastSecond()
{
    QTemporaryDir folder;
    DatabaseConfig config;
    config.sqlitePath = folder.filePath(QStringLiteral("torvelin.sqlite"));

    QProcess child;
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/recorder_child"),
                {config.sqlitePath});
    QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
    int handed = 0;
    while (handed < KillAfterPoints) {
        if (!child.canReadLine())
            QVERIFY2(child.waitForReadyRead(OutputTimeoutMs), "the child stopped handing points over");
        while (child.canReadLine()) {
            const QByteArray line = child.readLine().trimmed();
            if (line.startsWith("handed "))
                handed = line.mid(7).toInt();
        }
    }
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

QTEST_GUILESS_MAIN(tst_RecorderKill)
#include "tst_recorder_kill.moc"
