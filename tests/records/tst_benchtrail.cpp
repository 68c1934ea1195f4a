// A bench's SQLite file keeps the same trail, signatures and amendments as
// a lab's server, with the computer's login as the user.
#include "records/audittrail.h"
#include "records/recordqueries.h"
#include "records/review.h"
#include "records/teststore.h"
#include "storedrecords.h"

#include <QtTest>

#include <QSqlError>
#include <QTemporaryDir>

class tst_BenchTrail : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recordingIsAuditedOnce();
    void changesByHandAreAudited();
    void trailOnlyGrows_data();
    void trailOnlyGrows();
    void amendmentAndSignature();

private:
    QString trail(const QString &where) const;

    QTemporaryDir m_folder;
    DatabaseConfig m_config;
    qint64 m_testId = 0;
};

void tst_BenchTrail::initTestCase()
{
    QVERIFY(m_folder.isValid());
    m_config.sqlitePath = m_folder.filePath(QStringLiteral("bench.sqlite"));
    QVERIFY(!AuditTrail::localUser().isEmpty());
}

QString tst_BenchTrail::trail(const QString &where) const
{
    StoredRecords records(m_config);
    QSqlQuery query(records.db());
    query.exec(QStringLiteral("SELECT db_user || ' ' || action || ' ' || table_name || ' ' || reason FROM audit_log "
                              "WHERE %1 ORDER BY id")
                   .arg(where));
    QStringList rows;
    while (query.next())
        rows << query.value(0).toString();
    return rows.join(QLatin1Char('\n'));
}

void tst_BenchTrail::recordingIsAuditedOnce()
{
    StoredRecords records(m_config);
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
    TestStore store(records.db());
    const RecordedPoint points[] = {{0, 1.0, 2.0}, {1, 0.5, 1.0}};
    EvaluationRecord evaluation;
    evaluation.judged = true;
    evaluation.verdict = Verdict::Pass;
    evaluation.points.append({1, 1.0, 2.0, 1.0, 3.0, Verdict::Pass});
    QVERIFY(store.insertTest(TestHeader::startingNow(), &m_testId));
    QVERIFY(store.appendPoints(m_testId, 0, points, 1));
    QVERIFY(store.appendPoints(m_testId, 1, points + 1, 1));
    QVERIFY2(store.finishTest(m_testId, QDateTime::currentDateTimeUtc(), evaluation), qPrintable(store.lastError()));
    const QString user = AuditTrail::localUser();
    // Counting points while it runs is recording, not a change of record.
    QCOMPARE(trail(QStringLiteral("test_id = %1").arg(m_testId)),
             QStringList({user + QStringLiteral(" insert tests "), user + QStringLiteral(" update tests "),
                          user + QStringLiteral(" insert point_results ")})
                 .join(QLatin1Char('\n')));
}

void tst_BenchTrail::changesByHandAreAudited()
{
    QVERIFY(m_testId > 0);
    // Another program on the same file, not through Torvelin's connection.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("by-hand"));
        db.setDatabaseName(m_config.sqlitePath);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY2(query.exec(QStringLiteral("UPDATE tests SET batch = 'B8' WHERE id = %1").arg(m_testId)),
                 qPrintable(query.lastError().text()));
        QVERIFY(query.exec(QStringLiteral("DELETE FROM point_results WHERE test_id = %1").arg(m_testId)));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("by-hand"));
    StoredRecords records(m_config);
    QCOMPARE(records.count(QStringLiteral("FROM audit_log WHERE test_id = %1 AND action = 'update' AND old_values "
                                          "LIKE '%\"batch\":\"\"%' AND new_values LIKE '%\"batch\":\"B8\"%'")
                               .arg(m_testId)),
             1);
    QCOMPARE(records.count(QStringLiteral("FROM audit_log WHERE test_id = %1 AND action = 'delete' "
                                          "AND table_name = 'point_results' AND new_values IS NULL")
                               .arg(m_testId)),
             1);
}

void tst_BenchTrail::trailOnlyGrows_data()
{
    QTest::addColumn<QString>("statement");
    QTest::newRow("change the trail") << "UPDATE audit_log SET db_user = 'nobody'";
    QTest::newRow("clear the trail") << "DELETE FROM audit_log";
    QTest::newRow("amend without a reason")
        << "INSERT INTO amendments (test_id, db_user, at, field, new_value, reason) VALUES (1, 'x', '', 'batch', 'B9', ' ')";
}

void tst_BenchTrail::trailOnlyGrows()
{
    QFETCH(QString, statement);
    StoredRecords records(m_config);
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
    const int before = records.count(QStringLiteral("FROM audit_log"));
    QSqlQuery query(records.db());
    QVERIFY(!query.exec(statement));
    QCOMPARE(records.count(QStringLiteral("FROM audit_log")), before);
}

void tst_BenchTrail::amendmentAndSignature()
{
    QVERIFY(m_testId > 0);
    QString error;
    QVERIFY2(RecordsReview::amend(m_config, {}, m_testId, RecordsReview::Batch, QStringLiteral("B9"),
                                  QStringLiteral("batch card says B9"), &error),
             qPrintable(error));
    QVERIFY2(RecordsReview::sign(m_config, {}, {m_testId}, RecordsReview::Reviewed, QString(), &error),
             qPrintable(error));
    StoredRecords records(m_config);
    QCOMPARE(records.value(QStringLiteral("SELECT batch || ' ' || amended FROM tests WHERE id = %1").arg(m_testId))
                 .toString(),
             QStringLiteral("B9 1"));
    StoredTest test;
    QVERIFY2(RecordQueries::loadTest(records.db(), m_testId, false, &test, &error), qPrintable(error));
    QCOMPARE(test.amendments.size(), 1);
    QCOMPARE(test.amendments.first().oldValue, QStringLiteral("B8"));
    QCOMPARE(test.signatures.size(), 1);
    QCOMPARE(test.signatures.first().signer, AuditTrail::localUser());
    QVERIFY2(trail(QStringLiteral("table_name = 'tests' AND action = 'update' AND reason <> ''"))
                 .endsWith(QStringLiteral(" update tests batch card says B9")),
             qPrintable(trail(QStringLiteral("1"))));
}

QTEST_GUILESS_MAIN(tst_BenchTrail)
#include "tst_benchtrail.moc"
