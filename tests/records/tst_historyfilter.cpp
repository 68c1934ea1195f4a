// The History filter as an SQL condition with bound values.
#include "records/historyfilter.h"

#include <QtTest>

Q_DECLARE_METATYPE(HistoryFilter)

class tst_HistoryFilter : public QObject
{
    Q_OBJECT

private slots:
    void condition_data();
    void condition();
    void localDaysBecomeUtcBounds();
};

void tst_HistoryFilter::condition_data()
{
    QTest::addColumn<HistoryFilter>("filter");
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariantList>("values");

    QTest::newRow("nothing chosen") << HistoryFilter() << QString() << "1 = 1" << QVariantList();

    HistoryFilter identity;
    identity.partNumber = QStringLiteral(" SP-20 ");
    identity.batch = QStringLiteral("B7");
    QTest::newRow("part number and batch, trimmed")
        << identity << "t" << "t.part_number = ? AND t.batch = ?"
        << QVariantList{QStringLiteral("SP-20"), QStringLiteral("B7")};

    HistoryFilter hostile;
    hostile.batch = QStringLiteral("x' OR '1'='1");
    QTest::newRow("quotes stay in the bound value")
        << hostile << QString() << "batch = ?" << QVariantList{QStringLiteral("x' OR '1'='1")};

    HistoryFilter range;
    range.startedFrom = QDateTime(QDate(2026, 12, 1), QTime(0, 0), Qt::UTC);
    range.startedBefore = QDateTime(QDate(2026, 12, 8), QTime(12, 30), Qt::UTC);
    range.verdict = HistoryFilter::Verdict::Fail;
    QTest::newRow("dates and verdict")
        << range << QString() << "started_at >= ? AND started_at < ? AND verdict = ?"
        << QVariantList{QStringLiteral("2026-12-01T00:00:00.000Z"),
                        QStringLiteral("2026-12-08T12:30:00.000Z"), QStringLiteral("fail")};

    HistoryFilter notJudged;
    notJudged.verdict = HistoryFilter::Verdict::NotJudged;
    QTest::newRow("not judged") << notJudged << "t" << "t.verdict IS NULL" << QVariantList();
}

void tst_HistoryFilter::condition()
{
    QFETCH(HistoryFilter, filter);
    QFETCH(QString, alias);
    const SqlCondition condition = sqlCondition(filter, alias);
    QTEST(condition.text, "text");
    QTEST(condition.values, "values");
}

void tst_HistoryFilter::localDaysBecomeUtcBounds()
{
    // Shanghai is 8 hours ahead of UTC all year.
    qputenv("TZ", "Asia/Shanghai");
    HistoryFilter filter;
    filter.setDays(QDate(2026, 12, 8), QDate(2026, 12, 9));
    QCOMPARE(filter.startedFrom, QDateTime(QDate(2026, 12, 7), QTime(16, 0), Qt::UTC));
    QCOMPARE(filter.startedBefore, QDateTime(QDate(2026, 12, 9), QTime(16, 0), Qt::UTC));
    filter.setDays(QDate(), QDate(2026, 12, 9));
    QVERIFY(!filter.startedFrom.isValid());
}

QTEST_GUILESS_MAIN(tst_HistoryFilter)
#include "tst_historyfilter.moc"
