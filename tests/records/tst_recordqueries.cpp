// What the History window, the statistics and the exports read back from a
// real SQLite records database.
#include "records/recordqueries.h"
#include "support/recordfixture.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <cmath>

namespace {

QDateTime at(int day, int hour)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, 0), Qt::UTC);
}

QList<qint64> historyIds(const QSqlDatabase &db, const HistoryFilter &filter)
{
    const SqlCondition condition = sqlCondition(filter);
    QSqlQuery query(db);
    query.prepare(RecordQueries::historyStatement(condition));
    for (const QVariant &value : condition.values)
        query.addBindValue(value);
    QList<qint64> ids;
    if (query.exec()) {
        while (query.next())
            ids << query.value(RecordQueries::ColumnId).toLongLong();
    }
    return ids;
}

} // namespace

class tst_RecordQueries : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void historyNewestFirstThroughTheFilter();
    void batchFiguresFollowTheFilter();
    void testReadBackWhole();

private:
    RecordFixture records;
    qint64 first = 0, second = 0, third = 0, other = 0;
};

void tst_RecordQueries::initTestCase()
{
    QVERIFY2(records.opened, qPrintable(records.error));
    const double notReached = std::nan("");
    first = records.add(at(1, 9), "SP-20", "B7", "pass", {10, 20}, 5, 25);
    second = records.add(at(3, 9), "SP-20", "B7", "fail", {12, notReached}, 5, 25);
    other = records.add(at(2, 9), "SP-30", "B7", "pass", {100}, 90, 110);
    third = records.add(at(4, 9), "SP-20", "B8", "", {},
                        0, 0, {{0, 0.5, 1.25}, {0, 1.0, 2.5}, {1, 0.5, 1.0}});
    QVERIFY2(first > 0 && second > 0 && other > 0 && third > 0, qPrintable(records.error));
}

void tst_RecordQueries::historyNewestFirstThroughTheFilter()
{
    QCOMPARE(historyIds(records.db(), HistoryFilter()), (QList<qint64>{third, second, other, first}));
    HistoryFilter filter;
    filter.partNumber = QStringLiteral("SP-20");
    filter.startedFrom = at(2, 0);
    QCOMPARE(historyIds(records.db(), filter), (QList<qint64>{third, second}));
    filter.verdict = HistoryFilter::Verdict::NotJudged;
    QCOMPARE(historyIds(records.db(), filter), QList<qint64>{third});
}

void tst_RecordQueries::batchFiguresFollowTheFilter()
{
    HistoryFilter filter;
    filter.batch = QStringLiteral("B7");
    filter.partNumber = QStringLiteral("SP-20");
    RecordQueries::VerdictCounts counts;
    QString error;
    QVERIFY2(RecordQueries::countVerdicts(records.db(), filter, &counts, &error), qPrintable(error));
    QCOMPARE(counts.count, 2);
    QCOMPARE(counts.passed, 1);
    QCOMPARE(counts.failed, 1);

    RecordQueries::Batch batch;
    QVERIFY2(RecordQueries::loadBatch(records.db(), filter, &batch, &error), qPrintable(error));
    const QVector<BatchStatistics::PointSummary> &points = batch.points;
    QCOMPARE(batch.counts.count, 2);
    QCOMPARE(points.size(), 2);
    QCOMPARE(points.at(0).n, 2);
    QCOMPARE(*points.at(0).mean, 11.0);
    QCOMPARE(points.at(1).notReached, 1);

    // An aborted test is no spring measured: counted neither way and in no
    // statistic, whatever rows it holds.
    const qint64 measured = records.add(at(5, 9), "SP-40", "B9", "pass", {30}, 25, 35);
    const qint64 aborted = records.add(at(5, 10), "SP-40", "B9", "fail", {50}, 25, 35);
    QSqlQuery update(records.db());
    QVERIFY2(measured > 0 && aborted > 0
                 && update.exec(QStringLiteral("UPDATE tests SET status = 'aborted' WHERE id = %1").arg(aborted)),
             qPrintable(update.lastError().text()));
    filter = HistoryFilter();
    filter.partNumber = QStringLiteral("SP-40");
    QVERIFY2(RecordQueries::countVerdicts(records.db(), filter, &counts, &error), qPrintable(error));
    QCOMPARE(counts.count, 2);
    QCOMPARE(counts.aborted, 1);
    QCOMPARE(counts.springs(), 1);
    QCOMPARE(counts.passed, 1);
    QCOMPARE(counts.failed, 0);
    QVERIFY2(RecordQueries::loadBatch(records.db(), filter, &batch, &error), qPrintable(error));
    QCOMPARE(batch.points.size(), 1);
    QCOMPARE(batch.points.first().n, 1);
    QCOMPARE(*batch.points.first().mean, 30.0);
    QCOMPARE(batch.forces.value(1).size(), 1); // the histogram's
    QCOMPARE(batch.subgroups.value(1).size(), 0);
}

void tst_RecordQueries::testReadBackWhole()
{
    StoredTest test;
    QString error;
    QVERIFY2(RecordQueries::loadTest(records.db(), second, false, &test, &error), qPrintable(error));
    QCOMPARE(test.header.startedAt, at(3, 9));
    QCOMPARE(test.finishedAt, at(3, 9).addSecs(12));
    QCOMPARE(test.header.identity.batch, QStringLiteral("B7"));
    QVERIFY(test.evaluation.judged);
    QCOMPARE(test.evaluation.verdict, QStringLiteral("fail"));
    QCOMPARE(test.evaluation.points.size(), 2);
    QVERIFY(!test.evaluation.points.at(1).force);
    QVERIFY(test.points.isEmpty());

    QVERIFY(RecordQueries::loadTest(records.db(), third, true, &test, &error));
    QVERIFY(!test.evaluation.judged);
    QCOMPARE(test.points.size(), 3);
    QCOMPARE(test.points.at(2).stroke, 1);
    QCOMPARE(test.points.at(1).force, 2.5);

    QVERIFY(!RecordQueries::loadTest(records.db(), 9999, false, &test, &error));

    QVector<StoredTest> tests;
    HistoryFilter filter;
    filter.partNumber = QStringLiteral("SP-20");
    QVERIFY(RecordQueries::loadTests(records.db(), filter, &tests, &error));
    QCOMPARE(tests.size(), 3);
    QCOMPARE(tests.at(1).id, second);
    QCOMPARE(tests.at(1).evaluation.points.size(), 2);
    QCOMPARE(tests.at(2).evaluation.points.at(1).force.value(), 20.0);
}

QTEST_GUILESS_MAIN(tst_RecordQueries)
#include "tst_recordqueries.moc"
