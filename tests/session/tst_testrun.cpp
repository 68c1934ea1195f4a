// When a test is over: the machine back where the forward stroke began, or
// a return stroke that stays quiet while the tester answers. A tester that
// does not answer ends nothing.
#include "session/testrun.h"

#include <QtTest>

class tst_TestRun : public QObject
{
    Q_OBJECT

private slots:
    void isBack_data();
    void isBack();
    void quietReturnEndsOnlyWhileTheTesterAnswers();
};

void tst_TestRun::isBack_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("farthest");
    QTest::addColumn<double>("latest");
    QTest::addColumn<bool>("back");
    QTest::newRow("back at the start") << 0.0 << 26.0 << 0.0 << true;
    QTest::newRow("within 2 % of the travel") << 0.0 << 26.0 << 0.5 << true;
    QTest::newRow("halfway back") << 0.0 << 26.0 << 13.0 << false;
    QTest::newRow("short travel: within a point step") << 0.0 << 1.0 << 0.04 << true;
    QTest::newRow("short travel: beyond a point step") << 0.0 << 1.0 << 0.1 << false;
    QTest::newRow("absolute start, travelling down") << 50.0 << 30.0 << 50.2 << true;
    QTest::newRow("absolute start, still below") << 50.0 << 30.0 << 45.0 << false;
}

void tst_TestRun::isBack()
{
    QFETCH(double, start);
    QFETCH(double, farthest);
    QFETCH(double, latest);
    QFETCH(bool, back);
    QCOMPARE(TestRun::isBack(start, farthest, latest), back);
}

void tst_TestRun::quietReturnEndsOnlyWhileTheTesterAnswers()
{
    TestRun run;
    QSignalSpy ended(&run, &TestRun::ended);
    QVERIFY(!run.pointArrived(0, 0.0)); // no test runs
    run.start();
    QVERIFY(run.pointArrived(0, 0.0));
    QVERIFY(run.pointArrived(0, 10.0));
    // Forward points alone never end a test.
    QVERIFY(!ended.wait(TestRun::EndSilenceMs + 300));
    QVERIFY(run.pointArrived(1, 6.0));
    QVERIFY(!run.hasReturned());
    // The worker's reports while it answers change nothing.
    run.linkAnswering(true);
    QVERIFY(ended.wait(TestRun::EndSilenceMs * 2));
    run.start();
    run.pointArrived(0, 10.0);
    run.pointArrived(1, 6.0);
    run.linkAnswering(false);
    QVERIFY(!ended.wait(TestRun::EndSilenceMs + 300));
    // Answers again: the watch starts over and the quiet return ends it.
    run.linkAnswering(true);
    QVERIFY(ended.wait(TestRun::EndSilenceMs * 2));
    QCOMPARE(ended.count(), 2);
    QVERIFY(run.hasReturned());

    // A new test starts unreturned; back where it began, it has returned.
    run.start();
    QVERIFY(!run.hasReturned());
    run.pointArrived(0, 0.0);
    run.pointArrived(0, 10.0);
    run.pointArrived(1, 0.1);
    QVERIFY(run.hasReturned());
    run.stop();
    QVERIFY(!ended.wait(TestRun::EndSilenceMs + 300));
}

QTEST_GUILESS_MAIN(tst_TestRun)
#include "tst_testrun.moc"
