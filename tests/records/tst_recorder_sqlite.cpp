// The records database on SQLite: the schema and its version, and the
// recorder writing a test, finding interrupted ones, and outliving a full
// disk.
#include "records/outbox.h"
#include "records/recordsdatabase.h"
#include "records/station.h"
#include "records/testrecorder.h"
#include "records/teststore.h"
#include "storedrecords.h"

#include <QtTest>

#include <QSqlError>
#include <QTemporaryDir>

#include <atomic>

namespace {

constexpr int CommitTimeoutMs = 1000;   // the recorder commits every 250 ms
constexpr int RecoveryTimeoutMs = 5000; // it retries every second

TestHeader header(const QString &serial)
{
    TestHeader header = TestHeader::startingNow();
    header.identity = {QStringLiteral("Lin"), QStringLiteral("SP-20"), QStringLiteral("B7"), serial};
    header.setting.mode = 1;
    header.setting.speed = 250;
    header.setting.distance = 12.5f;
    header.machineType = 500;
    header.forceDecimals = 2;
    header.line.portName = QStringLiteral("/dev/ttyUSB0");
    return header;
}

} // namespace

class tst_RecorderSqlite : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void newFileHasCurrentSchema();
    void newerSchemaIsNotWritten();
    void testIsWrittenWhileItRuns();
    void runningRecordsOfThisStationBecomeInterrupted();
    void fullDiskLosesNothing();
    void databaseChosenWhileFailingTakesEffect();
    void writeRepeatedAfterALostReplyIsHarmless();
    void refusedTestWaitsAndTheNextIsWritten();
    void testWaitingAtCloseIsDeliveredWhole();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    DatabaseConfig m_config;
};

void tst_RecorderSqlite::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_config = DatabaseConfig();
    m_config.sqlitePath = m_folder->filePath(QStringLiteral("records/torvelin.sqlite"));
    // This installation's outbox starts empty for each case.
    const QString outbox = Outbox::config().sqlitePath;
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(outbox + suffix);
}

void tst_RecorderSqlite::newFileHasCurrentSchema()
{
    StoredRecords stored(m_config);
    QVERIFY2(stored.isOpen(), qPrintable(stored.error()));
    QSqlDatabase db = stored.db();
    QCOMPARE(RecordsDatabase::storedVersion(db), Schema::currentVersion());
    QCOMPARE(stored.value(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    QSqlQuery orphan(db);
    QVERIFY2(!orphan.exec(QStringLiteral("INSERT INTO curve_points VALUES (99, 0, 0, 1.0, 2.0)")),
             "a point of no test was accepted: foreign keys are off");
    // Opening again upgrades nothing and keeps the data.
    StoredRecords again(m_config);
    QVERIFY(again.isOpen());
}

void tst_RecorderSqlite::newerSchemaIsNotWritten()
{
    {
        StoredRecords stored(m_config);
        QVERIFY(stored.isOpen());
        QSqlQuery(stored.db()).exec(QStringLiteral("UPDATE schema_version SET version = 99"));
    }
    QString error;
    QVERIFY(!RecordsDatabase::open(m_config, QStringLiteral("newer"), &error));
    QVERIFY2(error.contains(QStringLiteral("newer")), qPrintable(error));
}

void tst_RecorderSqlite::testIsWrittenWhileItRuns()
{
    TestRecorder recorder(m_config);
    QSignalSpy stored(&recorder, &TestRecorder::testStored);
    recorder.start();
    recorder.begin(header(QStringLiteral("0007")));
    // Not a number is no point: it is neither drawn nor recorded.
    recorder.addPoint(0, std::numeric_limits<double>::quiet_NaN(), 5.0);
    recorder.addPoint(0, 0.5, std::numeric_limits<double>::infinity());
    recorder.addPoint(0, 0.5, 10.0);
    recorder.addPoint(0, 1.0, 20.25);
    recorder.addPoint(1, 1.0, 19.5);

    StoredRecords records(m_config);
    QVERIFY(records.isOpen());
    QTRY_COMPARE_WITH_TIMEOUT(records.count(QStringLiteral("FROM curve_points")), 3, CommitTimeoutMs);
    QCOMPARE(records.value(QStringLiteral("SELECT status FROM tests")).toString(), TestStatus::Running);

    EvaluationRecord evaluation;
    evaluation.judged = true;
    evaluation.programNumber = 3;
    evaluation.programSource = QStringLiteral("machine");
    evaluation.verdict = QStringLiteral("fail");
    evaluation.points = {{1, 0.5, 10.0, 9.5, 10.5, QStringLiteral("pass")},
                         {2, 2.0, std::nullopt, 18, 22, QStringLiteral("not reached")}};
    evaluation.rates = {{1, 2, std::nullopt}};
    evaluation.maxForce = 20.25;
    recorder.finish(evaluation);
    // Blocks already on their way at Stop still belong to the test.
    recorder.addPoint(1, 0.5, 9.75);
    QVERIFY(stored.wait());
    const qint64 id = stored.first().first().toLongLong();

    QTRY_COMPARE_WITH_TIMEOUT(records.count(QStringLiteral("FROM curve_points")), 4, CommitTimeoutMs);
    bool contiguous = false;
    const QVector<RecordedPoint> points = records.points(id, &contiguous);
    QVERIFY(contiguous);
    QCOMPARE(points.at(1).force, 20.25);
    QCOMPARE(points.at(3).stroke, 1);
    QSqlQuery row(records.db());
    QVERIFY(row.exec(QStringLiteral("SELECT status, serial_number, mode, distance, verdict, max_force, "
                                    "rate_fit, point_count, finished_at FROM tests WHERE id = %1").arg(id)));
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toString(), TestStatus::Complete);
    QCOMPARE(row.value(1).toString(), QStringLiteral("0007"));
    QCOMPARE(row.value(2).toInt(), 1);
    QCOMPARE(row.value(3).toDouble(), 12.5);
    QCOMPARE(row.value(4).toString(), QStringLiteral("fail"));
    QCOMPARE(row.value(5).toDouble(), 20.25);
    QVERIFY(row.value(6).isNull());
    QCOMPARE(row.value(7).toInt(), 4);
    QVERIFY(row.value(8).toString().endsWith(QLatin1Char('Z')));
    QCOMPARE(records.count(QStringLiteral("FROM point_results WHERE force IS NULL "
                                          "AND verdict = 'not reached'")), 1);
    QCOMPARE(records.count(QStringLiteral("FROM test_rates WHERE rate IS NULL")), 1);
}

void tst_RecorderSqlite::runningRecordsOfThisStationBecomeInterrupted()
{
    {
        StoredRecords records(m_config);
        QVERIFY(records.isOpen());
        TestStore store(records.db());
        qint64 id = 0;
        QVERIFY(store.insertTest(header(QStringLiteral("1")), &id));
        TestHeader elsewhere = header(QStringLiteral("2"));
        // A cloned PC: the same host name, another installation.
        elsewhere.stationId = QStringLiteral("another-installation");
        QVERIFY(store.insertTest(elsewhere, &id));
        // Recorded before installations had ids: known by its host name.
        TestHeader older = header(QStringLiteral("3"));
        older.stationId.clear();
        QVERIFY(store.insertTest(older, &id));
        older.identity.serialNumber = QStringLiteral("4");
        older.station = QStringLiteral("another-host");
        QVERIFY(store.insertTest(older, &id));
    }
    TestRecorder recorder(m_config);
    QSignalSpy interrupted(&recorder, &TestRecorder::interruptedFound);
    recorder.start();
    QVERIFY(interrupted.wait());
    QCOMPARE(interrupted.first().first().toInt(), 2);

    StoredRecords records(m_config);
    QCOMPARE(records.value(QStringLiteral("SELECT group_concat(serial_number) FROM (SELECT serial_number "
                                          "FROM tests WHERE status = 'interrupted' ORDER BY serial_number)"))
                 .toString(),
             QStringLiteral("1,3"));
}

void tst_RecorderSqlite::fullDiskLosesNothing()
{
    constexpr int PointsPerBurst = 3000;
    // SQLite's page limit on the recorder's connection stands for a full disk.
    std::atomic<int> pageLimit{1000000};
    TestRecorder recorder(m_config);
    recorder.setConnectionHook([&pageLimit](QSqlDatabase &db) {
        QSqlQuery(db).exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pageLimit.load()));
    });
    QSignalSpy failed(&recorder, &TestRecorder::databaseFailed);
    QSignalSpy recovered(&recorder, &TestRecorder::databaseRecovered);
    QSignalSpy stored(&recorder, &TestRecorder::testStored);
    recorder.start();
    recorder.begin(header(QStringLiteral("full")));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.pendingPoints(), 0, CommitTimeoutMs);

    {
        StoredRecords records(m_config);
        pageLimit = records.value(QStringLiteral("PRAGMA page_count")).toInt() + 1;
    }
    // The limit applies from the next connection: make the writer reopen.
    recorder.setDatabase(m_config);
    int handed = 0;
    while (failed.isEmpty() && handed < 100 * PointsPerBurst) {
        for (int i = 0; i < PointsPerBurst; ++i, ++handed)
            recorder.addPoint(handed % 2, handed * 0.001, handed * 0.5);
        failed.wait(300);
    }
    QCOMPARE(failed.count(), 1);
    QVERIFY(recorder.pendingPoints() > 0);
    QVERIFY(failed.first().first().toString().contains(QStringLiteral("full"), Qt::CaseInsensitive));

    for (int i = 0; i < PointsPerBurst; ++i, ++handed)
        recorder.addPoint(1, handed * 0.001, handed * 0.5);
    pageLimit = 1000000;
    QVERIFY(recovered.wait(RecoveryTimeoutMs));
    recorder.finish();
    QVERIFY(stored.wait());
    QCOMPARE(failed.count(), 1);

    StoredRecords records(m_config);
    bool contiguous = false;
    const QVector<RecordedPoint> points = records.points(stored.first().first().toLongLong(), &contiguous);
    QCOMPARE(points.size(), handed);
    QVERIFY(contiguous);
    QCOMPARE(points.last().force, (handed - 1) * 0.5);
}

void tst_RecorderSqlite::databaseChosenWhileFailingTakesEffect()
{
    DatabaseConfig corrupt = m_config;
    corrupt.sqlitePath = m_folder->filePath(QStringLiteral("corrupt.sqlite"));
    {
        QFile file(corrupt.sqlitePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, '\x5a'));
    }
    TestRecorder recorder(corrupt);
    QSignalSpy failed(&recorder, &TestRecorder::databaseFailed);
    QSignalSpy recovered(&recorder, &TestRecorder::databaseRecovered);
    QSignalSpy stored(&recorder, &TestRecorder::testStored);
    recorder.start();
    recorder.begin(header(QStringLiteral("moved")));
    recorder.addPoint(0, 0.5, 10.0);
    QVERIFY(failed.wait());

    recorder.setDatabase(m_config);
    recorder.addPoint(0, 1.0, 20.0);
    QVERIFY(recovered.wait(RecoveryTimeoutMs));
    recorder.finish();
    QVERIFY(stored.wait());
    StoredRecords records(m_config);
    bool contiguous = false;
    QCOMPARE(records.points(stored.first().first().toLongLong(), &contiguous).size(), 2);
    QVERIFY(contiguous);
    QCOMPARE(records.value(QStringLiteral("SELECT serial_number FROM tests")).toString(), QStringLiteral("moved"));
}

void tst_RecorderSqlite::writeRepeatedAfterALostReplyIsHarmless()
{
    // A commit whose answer was lost did write: the recorder sends it again.
    StoredRecords records(m_config);
    QVERIFY(records.isOpen());
    TestStore store(records.db());
    TestHeader test = header(QStringLiteral("again"));
    test.recordUid = QStringLiteral("4f1c2a8e-0000-4000-8000-000000000001");
    const QVector<RecordedPoint> points{{0, 0.5, 10.0}, {0, 1.0, 20.0}, {1, 0.5, 9.0}};
    EvaluationRecord evaluation;
    evaluation.judged = true;
    evaluation.verdict = QStringLiteral("pass");
    evaluation.points = {{1, 0.5, 10.0, 9.5, 10.5, QStringLiteral("pass")}};
    evaluation.maxForce = std::numeric_limits<double>::quiet_NaN();
    qint64 first = 0;
    qint64 second = 0;
    for (qint64 *id : {&first, &second}) {
        QVERIFY2(store.insertTest(test, id), qPrintable(store.lastError()));
        QVERIFY2(store.appendPoints(*id, 0, points.constData(), 2), qPrintable(store.lastError()));
        QVERIFY2(store.appendPoints(*id, 1, points.constData() + 1, 2), qPrintable(store.lastError()));
        QVERIFY2(store.finishTest(*id, QDateTime::currentDateTimeUtc(), evaluation), qPrintable(store.lastError()));
    }
    QCOMPARE(second, first);
    QCOMPARE(records.count(QStringLiteral("FROM tests")), 1);
    bool contiguous = false;
    QCOMPARE(records.points(first, &contiguous).size(), 3);
    QVERIFY(contiguous);
    QCOMPARE(records.count(QStringLiteral("FROM point_results")), 1);
    QCOMPARE(records.count(QStringLiteral("FROM tests WHERE max_force IS NULL AND point_count = 3")), 1);
}

void tst_RecorderSqlite::refusedTestWaitsAndTheNextIsWritten()
{
    {
        // The lab's own rule, which the station cannot know.
        StoredRecords records(m_config);
        QVERIFY(records.isOpen());
        QSqlQuery rule(records.db());
        QVERIFY2(rule.exec(QStringLiteral("CREATE TRIGGER lab_rule BEFORE INSERT ON tests WHEN "
                                          "NEW.serial_number = 'refused' BEGIN SELECT RAISE(ABORT, "
                                          "'serial numbers are checked at goods-in'); END")),
                 qPrintable(rule.lastError().text()));
    }
    EvaluationRecord evaluation;
    evaluation.judged = true;
    evaluation.programNumber = 4;
    evaluation.verdict = QStringLiteral("pass");
    evaluation.points = {{1, 0.5, 10.0, 9.5, 10.5, QStringLiteral("pass")}};
    {
        TestRecorder recorder(m_config);
        QSignalSpy aside(&recorder, &TestRecorder::testSetAside);
        QSignalSpy waiting(&recorder, &TestRecorder::outboxWaiting);
        QSignalSpy failed(&recorder, &TestRecorder::databaseFailed);
        QSignalSpy stored(&recorder, &TestRecorder::testStored);
        recorder.start();
        recorder.begin(header(QStringLiteral("refused")));
        recorder.addPoint(0, 0.5, 10.0);
        QVERIFY(aside.wait());
        QVERIFY2(aside.first().first().toString().contains(QStringLiteral("goods-in")),
                 qPrintable(aside.first().first().toString()));
        // The rest of that test follows it; the next spring is written.
        recorder.addPoint(1, 0.5, 9.5);
        recorder.finish(evaluation);
        recorder.begin(header(QStringLiteral("next")));
        recorder.addPoint(0, 0.5, 11.0);
        recorder.finish();
        QVERIFY(stored.wait());
        QTRY_COMPARE(waiting.last().first().toInt(), 1);
        QVERIFY(failed.isEmpty());
        StoredRecords records(m_config);
        QCOMPARE(records.value(QStringLiteral("SELECT group_concat(serial_number) FROM tests")).toString(),
                 QStringLiteral("next"));
    }
    {
        StoredRecords kept(Outbox::config());
        QVERIFY(kept.value(QStringLiteral("SELECT reason FROM outbox_reasons")).toString().contains(
            QStringLiteral("goods-in")));
        QSqlQuery(StoredRecords(m_config).db()).exec(QStringLiteral("DROP TRIGGER lab_rule"));
    }
    // At the next start the lab takes it, whole and as it ended.
    TestRecorder recorder(m_config);
    QSignalSpy waiting(&recorder, &TestRecorder::outboxWaiting);
    recorder.start();
    QTRY_VERIFY(!waiting.isEmpty() && waiting.last().first().toInt() == 0);
    StoredRecords records(m_config);
    const qint64 id = records.value(QStringLiteral("SELECT id FROM tests WHERE serial_number = 'refused'"))
                          .toLongLong();
    bool contiguous = false;
    QCOMPARE(records.points(id, &contiguous).size(), 2);
    QVERIFY(contiguous);
    QCOMPARE(records.count(QStringLiteral("FROM tests WHERE serial_number = 'refused' AND status = 'complete' "
                                          "AND verdict = 'pass' AND program_number = 4")),
             1);
    QCOMPARE(records.count(QStringLiteral("FROM point_results")), 1);
}

void tst_RecorderSqlite::testWaitingAtCloseIsDeliveredWhole()
{
    // The database fails mid-test (a full disk), and the window closes.
    std::atomic<int> pageLimit{1000000};
    {
        TestRecorder recorder(m_config);
        recorder.setConnectionHook([&pageLimit](QSqlDatabase &db) {
            QSqlQuery(db).exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pageLimit.load()));
        });
        QSignalSpy failed(&recorder, &TestRecorder::databaseFailed);
        recorder.start();
        recorder.begin(header(QStringLiteral("closed")));
        recorder.addPoint(0, 0.5, 10.0);
        QTRY_COMPARE_WITH_TIMEOUT(recorder.pendingPoints(), 0, CommitTimeoutMs);
        {
            StoredRecords records(m_config);
            pageLimit = records.value(QStringLiteral("PRAGMA page_count")).toInt();
        }
        recorder.setDatabase(m_config);
        for (int i = 1; failed.isEmpty() && i < 100000; ++i) {
            recorder.addPoint(0, 0.5 + i * 0.001, 10.0 + i);
            if (i % 1000 == 0)
                failed.wait(100);
        }
        QVERIFY(!failed.isEmpty());
        recorder.addPoint(1, 0.5, 9.0);
        recorder.finish();
    }
    const int handed = [] {
        StoredRecords kept(Outbox::config());
        return kept.value(QStringLiteral("SELECT point_count FROM tests")).toInt();
    }();
    QVERIFY(handed > 1);

    // The next start: the part already on record is not taken for an
    // interrupted test; the rest joins it.
    TestRecorder recorder(m_config);
    QSignalSpy waiting(&recorder, &TestRecorder::outboxWaiting);
    QSignalSpy interrupted(&recorder, &TestRecorder::interruptedFound);
    recorder.start();
    QTRY_VERIFY(!waiting.isEmpty() && waiting.last().first().toInt() == 0);
    QVERIFY(interrupted.isEmpty());
    StoredRecords records(m_config);
    QCOMPARE(records.count(QStringLiteral("FROM tests")), 1);
    QCOMPARE(records.value(QStringLiteral("SELECT status FROM tests")).toString(), TestStatus::Complete);
    bool contiguous = false;
    const QVector<RecordedPoint> points = records.points(records.value(QStringLiteral("SELECT id FROM tests"))
                                                             .toLongLong(),
                                                         &contiguous);
    QCOMPARE(points.size(), handed);
    QVERIFY(contiguous);
    QCOMPARE(points.last().stroke, 1);
    QCOMPARE(records.value(QStringLiteral("SELECT point_count FROM tests")).toInt(), handed);
}

QTEST_GUILESS_MAIN(tst_RecorderSqlite)
#include "tst_recorder_sqlite.moc"
