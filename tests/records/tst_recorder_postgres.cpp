// The records on a real PostgreSQL server of their own: a server that
// stops in the middle of a test costs no point; a test reads back whole;
// a step that allows a column a new value runs on the server; the INSERT
// the records' documentation shows still works on either engine.
#include "records/recordqueries.h"
#include "records/testrecorder.h"
#include "storedrecords.h"
#include "support/postgrescluster.h"

#include <QtTest>

#include <QRegularExpression>
#include <QSqlError>
#include <QTemporaryDir>


namespace {
constexpr int CommitTimeoutMs = 1000;
constexpr int RecoveryTimeoutMs = 10000;
constexpr int PointsPerPhase = 500;
} // namespace

class tst_RecorderPostgres : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stoppedServerLosesNothing();
    void schemaOnTheServer();
    void documentedInsertStillWorks_data();
    void documentedInsertStillWorks();

private:
    PostgresCluster m_cluster;
};

void tst_RecorderPostgres::initTestCase()
{
    QVERIFY2(m_cluster.start(), qPrintable(m_cluster.errorString()));
    QVERIFY2(m_cluster.createRecordsDatabase(QStringLiteral("records")), qPrintable(m_cluster.errorString()));
}

void tst_RecorderPostgres::stoppedServerLosesNothing()
{
    const DatabaseConfig config = m_cluster.config(QStringLiteral("records"));
    TestRecorder recorder(config);
    QSignalSpy failed(&recorder, &TestRecorder::databaseFailed);
    QSignalSpy recovered(&recorder, &TestRecorder::databaseRecovered);
    QSignalSpy stored(&recorder, &TestRecorder::testStored);
    recorder.start();
    TestHeader header = TestHeader::startingNow();
    header.identity.serialNumber = QStringLiteral("pg-1");
    recorder.begin(header);
    int handed = 0;
    auto hand = [&](int count) {
        for (int i = 0; i < count; ++i, ++handed)
            recorder.addPoint(handed < PointsPerPhase ? 0 : 1, handed / 32.0, handed * 0.25);
    };
    hand(PointsPerPhase);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.pendingPoints(), 0, CommitTimeoutMs);

    QVERIFY2(m_cluster.stop(), qPrintable(m_cluster.errorString()));
    hand(PointsPerPhase);
    QVERIFY(failed.wait(RecoveryTimeoutMs));
    hand(PointsPerPhase);
    QVERIFY2(m_cluster.start(), qPrintable(m_cluster.errorString()));
    QVERIFY(recovered.wait(RecoveryTimeoutMs));
    recorder.finish();
    QVERIFY(stored.wait(RecoveryTimeoutMs));
    QCOMPARE(failed.count(), 1);

    StoredRecords records(config);
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
    bool contiguous = false;
    const QVector<RecordedPoint> points = records.points(stored.first().first().toLongLong(), &contiguous);
    QCOMPARE(points.size(), handed);
    QVERIFY(contiguous);
    QCOMPARE(points.last().force, (handed - 1) * 0.25);
    QCOMPARE(records.value(QStringLiteral("SELECT status FROM tests")).toString(), TestStatus::Complete);
}

void tst_RecorderPostgres::schemaOnTheServer()
{
    StoredRecords records(m_cluster.config(QStringLiteral("records")));
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
    const qint64 id = records.value(QStringLiteral("SELECT MIN(id) FROM tests")).toLongLong();
    StoredTest test;
    QString error;
    QVERIFY2(RecordQueries::loadTest(records.db(), id, true, &test, &error), qPrintable(error));
    QCOMPARE(test.header.identity.serialNumber, QStringLiteral("pg-1"));
    QCOMPARE(test.points.size(), 3 * PointsPerPhase);

    QVector<Schema::Step> steps = Schema::steps();
    steps.append({Schema::Change::allowValues(Schema::Tests::status,
                                              {"running", "complete", "interrupted", "aborted"})});
    QSqlDatabase db = records.db();
    QVERIFY2(RecordsDatabase::migrate(db, &error, steps.size(), steps), qPrintable(error));
    QSqlQuery update(db);
    QVERIFY2(update.exec(QStringLiteral("UPDATE tests SET status = 'aborted' WHERE id = %1").arg(id)),
             qPrintable(update.lastError().text()));
    QVERIFY(!update.exec(QStringLiteral("UPDATE tests SET status = 'lost' WHERE id = %1").arg(id)));
}

void tst_RecorderPostgres::documentedInsertStillWorks_data()
{
    QTest::addColumn<bool>("server");
    QTest::newRow("sqlite") << false;
    QTest::newRow("postgresql") << true;
}

// The documentation's INSERT names only version 1's columns, as scripts
// written then do: every column added since must take it as it is.
void tst_RecorderPostgres::documentedInsertStillWorks()
{
    QFETCH(bool, server);
    QFile documentation(QStringLiteral(TORVELIN_RECORDS_DOC));
    QVERIFY(documentation.open(QIODevice::ReadOnly | QIODevice::Text));
    const QRegularExpression fenced(QStringLiteral("```sql\\n(INSERT INTO tests .*?)```"),
                                    QRegularExpression::DotMatchesEverythingOption);
    const QString insert = fenced.match(QString::fromUtf8(documentation.readAll())).captured(1);
    QVERIFY2(!insert.isEmpty(), "the documentation shows no INSERT INTO tests");

    QTemporaryDir folder;
    DatabaseConfig config;
    if (server) {
        QVERIFY2(m_cluster.createRecordsDatabase(QStringLiteral("documented")), qPrintable(m_cluster.errorString()));
        config = m_cluster.config(QStringLiteral("documented"));
    } else {
        config.sqlitePath = folder.filePath(QStringLiteral("documented.sqlite"));
    }
    StoredRecords records(config);
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
    QSqlQuery query(records.db());
    QVERIFY2(query.exec(insert), qPrintable(query.lastError().text()));
    const qint64 id = records.value(QStringLiteral("SELECT MAX(id) FROM tests")).toLongLong();
    StoredTest test;
    QString error;
    QVERIFY2(RecordQueries::loadTest(records.db(), id, true, &test, &error), qPrintable(error));
    QCOMPARE(test.header.identity.serialNumber, QStringLiteral("0001"));
    QCOMPARE(records.count(QStringLiteral("FROM audit_log WHERE table_name = 'tests' AND row_id = %1").arg(id)), 1);
}

QTEST_GUILESS_MAIN(tst_RecorderPostgres)
#include "tst_recorder_postgres.moc"
