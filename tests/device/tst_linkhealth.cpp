// The worker's bookkeeping of the line, from tables: what a failed call
// says about the line, when the tester counts as not answering and as back,
// and when a failed port is tried again.
#include "device/linkhealth.h"

#include <QtTest>

#include <modbus.h>

#include <cerrno>

Q_DECLARE_METATYPE(LinkOutcome)

class tst_LinkHealth : public QObject
{
    Q_OBJECT

private slots:
    void failuresAreSortedByWhatTheySayAboutTheLine_data();
    void failuresAreSortedByWhatTheySayAboutTheLine();
    void answeringFollowsTheTransactions_data();
    void answeringFollowsTheTransactions();
    void failedPortIsTriedAgainEverySecond();
};

void tst_LinkHealth::failuresAreSortedByWhatTheySayAboutTheLine_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<LinkOutcome>("outcome");
    QTest::newRow("response timeout") << int(ETIMEDOUT) << LinkOutcome::Timeout;
    QTest::newRow("bad checksum") << int(EMBBADCRC) << LinkOutcome::BadCrc;
    QTest::newRow("wrong length") << int(EMBBADDATA) << LinkOutcome::Framing;
    QTest::newRow("other slave") << int(EMBBADSLAVE) << LinkOutcome::Framing;
    QTest::newRow("exception: illegal address") << int(EMBXILADD) << LinkOutcome::Rejected;
    QTest::newRow("exception: gateway target") << int(EMBXGTAR) << LinkOutcome::Rejected;
    QTest::newRow("line hung up") << int(EIO) << LinkOutcome::DeviceFailed;
    QTest::newRow("end of file") << int(ECONNRESET) << LinkOutcome::DeviceFailed;
    QTest::newRow("descriptor gone") << int(EBADF) << LinkOutcome::DeviceFailed;
}

void tst_LinkHealth::failuresAreSortedByWhatTheySayAboutTheLine()
{
    QFETCH(int, error);
    QFETCH(LinkOutcome, outcome);
    QCOMPARE(classifyFailure(error), outcome);
}

// Transactions as "<kind><ms>" words: A answered, R rejected, T timeout,
// C bad CRC, F framing, D device failed; t after the time marks a test
// running.
void tst_LinkHealth::answeringFollowsTheTransactions_data()
{
    QTest::addColumn<QString>("transactions");
    QTest::addColumn<bool>("answering");
    QTest::addColumn<bool>("portClosed");
    QTest::addColumn<int>("changes");
    QTest::addColumn<qint64>("lastGapMs");
    QTest::addColumn<bool>("gapDuringTest");
    QTest::newRow("answers") << "A200 A400" << true << false << 0 << qint64(-1) << false;
    QTest::newRow("one timeout is no outage") << "A0 T700" << true << false << 0 << qint64(-1) << false;
    QTest::newRow("two failures within a second") << "A0 C200 F400" << true << false << 0 << qint64(-1) << false;
    QTest::newRow("two timeouts over a second") << "A0 T700 T1400" << false << false << 1 << qint64(-1) << false;
    QTest::newRow("an answer in between") << "A0 T700 A900 T1600" << true << false << 0 << qint64(-1) << false;
    QTest::newRow("a rejected answer is an answer") << "A0 T700 R900 T1600" << true << false << 0 << qint64(-1) << false;
    QTest::newRow("back after an outage") << "A100 T700 T1400 T2100 A2300" << true << false << 2 << qint64(2200) << false;
    QTest::newRow("back during a test") << "A0 T500 T1000 A1500t" << true << false << 2 << qint64(1500) << true;
    QTest::newRow("failed port at once") << "A0 D10" << false << true << 1 << qint64(-1) << false;
    QTest::newRow("no answer since connect") << "T700 T1400" << false << false << 1 << qint64(-1) << false;
}

void tst_LinkHealth::answeringFollowsTheTransactions()
{
    QFETCH(QString, transactions);
    const QMap<QChar, LinkOutcome> kinds{
        {'A', LinkOutcome::Answered}, {'R', LinkOutcome::Rejected}, {'T', LinkOutcome::Timeout},
        {'C', LinkOutcome::BadCrc},   {'F', LinkOutcome::Framing},  {'D', LinkOutcome::DeviceFailed}};
    LinkHealth health;
    health.restart(0);
    int changes = 0;
    for (QString word : transactions.split(' ')) {
        const bool duringTest = word.endsWith('t');
        if (duringTest)
            word.chop(1);
        changes += health.record(kinds.value(word[0]), word.mid(1).toLongLong(), duringTest) ? 1 : 0;
    }
    QTEST(health.answering(), "answering");
    QTEST(health.portClosed(), "portClosed");
    QTEST(changes, "changes");
    QTEST(health.lastGapMs(), "lastGapMs");
    QTEST(health.lastGapDuringTest(), "gapDuringTest");
    const LinkCounters &counted = health.counters();
    QCOMPARE(int(counted.answers + counted.rejected + counted.timeouts + counted.crcErrors
                 + counted.framingErrors + counted.deviceFailures),
             transactions.count(' ') + 1);
}

void tst_LinkHealth::failedPortIsTriedAgainEverySecond()
{
    LinkHealth health;
    health.restart(0);
    health.record(LinkOutcome::DeviceFailed, 100, false);
    QCOMPARE(health.msUntilReopen(100), LinkHealth::ReopenPeriodMs);
    QCOMPARE(health.msUntilReopen(700), qint64(400));
    health.reopenFailed(1150);
    QCOMPARE(health.msUntilReopen(1150), LinkHealth::ReopenPeriodMs);
    QCOMPARE(health.msUntilReopen(9000), qint64(0));
    health.reopened();
    QVERIFY(!health.portClosed());
    QCOMPARE(health.counters().reopens, quint64(1));
    // Open again, but the tester has not answered yet.
    QVERIFY(!health.answering());
    QVERIFY(health.record(LinkOutcome::Answered, 2300, true));
    QCOMPARE(health.lastGapMs(), qint64(2300));
}

QTEST_APPLESS_MAIN(tst_LinkHealth)
#include "tst_linkhealth.moc"
