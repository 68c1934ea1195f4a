// How long and where a test's curve went without the tester's answers.
#include "session/linegaptracker.h"

#include <QtTest>

class tst_LineGapTracker : public QObject
{
    Q_OBJECT

private slots:
    void gaps_data();
    void gaps();
};

// A script of events: "p D" a point at distance D, "s" silent, "a MS"
// answering again after MS.
void tst_LineGapTracker::gaps_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<bool>("hasGap");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<double>("from");   // NaN: no distance known
    QTest::addColumn<double>("to");
    const double none = qQNaN();
    QTest::newRow("line held") << QStringList{"p 0", "p 1", "p 2"} << false << 0.0 << none << none;
    QTest::newRow("one gap mid-stroke")
        << QStringList{"p 1", "p 2", "s", "a 3200", "p 2.5", "p 3"} << true << 3.2 << 2.0 << 2.5;
    QTest::newRow("two gaps: their time adds, the range covers both")
        << QStringList{"p 1", "s", "a 1000", "p 1.5", "p 8", "s", "a 500", "p 7"} << true << 1.5 << 1.0 << 8.0;
    QTest::newRow("a repeated report is one gap")
        << QStringList{"p 4", "s", "s", "a 2000", "a 2000", "p 4.2"} << true << 2.0 << 4.0 << 4.2;
    QTest::newRow("silent before the first point") << QStringList{"s", "a 1500", "p 0.1"} << true << 1.5 << 0.1
                                                   << 0.1;
    QTest::newRow("the test ended in the gap") << QStringList{"p 5", "s", "a 900"} << true << 0.9 << 5.0 << 5.0;
}

void tst_LineGapTracker::gaps()
{
    QFETCH(QStringList, events);
    QFETCH(bool, hasGap);
    QFETCH(double, seconds);
    QFETCH(double, from);
    QFETCH(double, to);
    LineGapTracker tracker;
    for (const QString &event : events) {
        const double value = event.section(QLatin1Char(' '), 1).toDouble();
        if (event.startsWith(QLatin1Char('p')))
            tracker.point(value);
        else if (event == QLatin1String("s"))
            tracker.silent();
        else
            tracker.answering(qint64(value));
    }
    const std::optional<LineGap> gap = tracker.gap();
    QCOMPARE(bool(gap), hasGap);
    if (!gap)
        return;
    QCOMPARE(gap->seconds, seconds);
    QCOMPARE(bool(gap->fromDistance), !qIsNaN(from));
    if (gap->fromDistance) {
        QCOMPARE(*gap->fromDistance, from);
        QCOMPARE(*gap->toDistance, to);
    }
}

QTEST_GUILESS_MAIN(tst_LineGapTracker)
#include "tst_linegaptracker.moc"
