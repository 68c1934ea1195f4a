#include "parameterdialog.h"

#include "numbers/numbertext.h"

#include <QtTest>
#include <limits>

namespace {

const QStringList Ordinals {"1st", "2nd", "3rd", "4th", "5th"};

QStringList cells(const ParameterDialog &p, const QString &pattern)
{
    QStringList texts;
    for (const QString &o : Ordinals)
        texts << p.text(qPrintable(pattern.arg(o)));
    return texts;
}

QStringList rates(const ParameterDialog &p)
{
    return cells(p, "sRate%1Label").mid(1);
}

QStringList repeated(int times, const QString &text)
{
    return QVector<QString>(times, text).toList();
}

QVector<float> linearRecord()
{
    return measured({10, 20, 30, 40, 50}, {1, 2, 3, 4, 5});
}

} // namespace

class TestMachineParameterData : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void recordFillsPage();
    void springRates_data();
    void springRates();
    void paging_data();
    void paging();
    void noRecordAnswerShowsZerosAndKeepsCounters();
    void pagingBeforeFirstRecord_data();
    void pagingBeforeFirstRecord();
    void firstRateAndInitialLoadAlwaysBlank();
    void shortRecordIsIgnored_data();
    void shortRecordIsIgnored();
    void answersInsideTheRequestMoveThePage();

    void dataTabClickRefreshesOncePerTest();
    void dataTabAsksUntilThisDialogShowsARecord();
    void refreshNeedsATabBarClick();
    void dataTabAsksBeforeATestIsShown();
};

void TestMachineParameterData::init()
{
    forceDecimals = 3;
    machineParameter::resetLastDataTest();
}

void TestMachineParameterData::recordFillsPage()
{
    ParameterDialog p;
    p.dialog.receiveSystemData(measured({1.5f, 2, 3, 4, -5}, {0.5f, 6, 7, 8, 9.125f}),
                               record(2, 3, 1, 4));
    QCOMPARE(p.text("dataGroupNumEdit"), QString("2/3"));
    QCOMPARE(p.text("dataTestNumLabel"), QString("1/4"));
    QCOMPARE(cells(p, "dataForce%1Label"),
             QStringList({"1.500", "2.000", "3.000", "4.000", "-5.000"}));
    QCOMPARE(cells(p, "dataDistance%1Label"),
             QStringList({"0.50", "6.00", "7.00", "8.00", "9.13"}));
    QCOMPARE(p.dataRequests.count() + p.setRequests.count(), 0);
}

void TestMachineParameterData::springRates_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QVector<float>>("pointData");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("linear spring")
        << 3 << linearRecord() << QStringList {"10.000", "10.000", "10.000", "10.000"};
    QTest::newRow("points 1 and 2 at the same distance")
        << 3 << measured({10, 99, 30, 40, 50}, {2, 2, 3, 4, 5})
        << QStringList {"0.000", "-69.000", "10.000", "10.000"};
    QTest::newRow("all at one distance")
        << 3 << measured({1, 2, 3, 4, 5}, {7, 7, 7, 7, 7})
        << QStringList {"0.000", "0.000", "0.000", "0.000"};
    QTest::newRow("force decimals apply")
        << 1 << measured({0, 1, 2, 3, 4}, {0, 3, 6, 9, 12})
        << QStringList {"0.3", "0.3", "0.3", "0.3"};
    QTest::newRow("falling distance")
        << 2 << measured({50, 40, 30, 20, 10}, {5, 4, 3, 2, 1})
        << QStringList {"10.00", "10.00", "10.00", "10.00"};
    // 2^24 / 0.1f is 167772157.5 in double but 167772160 in single precision.
    QTest::newRow("single precision")
        << 3 << measured({0, 16777216, 16777216, 16777216, 16777216}, {0, 0.1f, 1.1f, 2.1f, 3.1f})
        << QStringList {"167772160.000", "0.000", "0.000", "0.000"};
}

void TestMachineParameterData::springRates()
{
    QFETCH(int, decimals);
    QFETCH(QVector<float>, pointData);
    QFETCH(QStringList, expected);
    ParameterDialog p;
    forceDecimals = decimals;
    p.dialog.receiveSystemData(pointData, record(1, 1, 1, 1));
    QCOMPARE(rates(p), expected);
    QCOMPARE(p.text("sRate1stLabel"), QString());
}

void TestMachineParameterData::paging_data()
{
    QTest::addColumn<QVector<int>>("shown");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<QVariant>>("request"); // empty: none
    const QVector<int> g2s1 = record(2, 3, 1, 4);
    QTest::newRow("Pre Group from group 2") << g2s1 << "dataPreGroupBtn" << requestOf(1, 1);
    QTest::newRow("Pre at record 1") << g2s1 << "dataPreBtn" << QList<QVariant>();
    QTest::newRow("Next from record 1") << g2s1 << "dataNextBtn" << requestOf(2, 2);
    QTest::newRow("Next Group from group 2") << g2s1 << "dataNextGroupBtn" << requestOf(3, 1);
    QTest::newRow("Pre Group at group 1") << record(1, 3, 4, 4) << "dataPreGroupBtn"
                                          << QList<QVariant>();
    QTest::newRow("Pre from record 4") << record(1, 3, 4, 4) << "dataPreBtn" << requestOf(1, 3);
    QTest::newRow("Next past the stated count") << record(3, 3, 4, 4) << "dataNextBtn"
                                                << requestOf(3, 5);
    QTest::newRow("Next Group past the stated count") << record(3, 3, 4, 4) << "dataNextGroupBtn"
                                                      << requestOf(4, 1);
    QTest::newRow("Pre at record 0") << record(2, 3, 0, 0) << "dataPreBtn" << QList<QVariant>();
    QTest::newRow("Next from the highest register value")
        << record(65535, 65535, 65535, 65535) << "dataNextBtn" << requestOf(65535, 65536);
    const int top = std::numeric_limits<int>::max();
    QTest::newRow("Next at the int limit") << record(1, 1, top, top) << "dataNextBtn"
                                           << QList<QVariant>();
    QTest::newRow("Next Group at the int limit") << record(top, top, 1, 1) << "dataNextGroupBtn"
                                                 << QList<QVariant>();
}

void TestMachineParameterData::paging()
{
    QFETCH(QVector<int>, shown);
    QFETCH(QString, button);
    QFETCH(QList<QVariant>, request);
    ParameterDialog p;
    p.dialog.receiveSystemData(linearRecord(), shown);
    p.click(qPrintable(button));
    if (request.isEmpty()) {
        QCOMPARE(p.dataRequests.count(), 0);
    } else {
        QCOMPARE(p.dataRequests.count(), 1);
        QCOMPARE(p.dataRequests.at(0), request);
    }
    QCOMPARE(p.setRequests.count(), 0);
}

void TestMachineParameterData::noRecordAnswerShowsZerosAndKeepsCounters()
{
    ParameterDialog p;
    p.dialog.receiveSystemData(linearRecord(), record(2, 3, 4, 4));
    p.click("dataNextBtn");
    QCOMPARE(p.dataRequests.last(), requestOf(2, 5));

    p.dialog.receiveSystemData(QVector<float>(10, 9.5f), noRecord());
    QCOMPARE(p.text("dataGroupNumEdit"), QString("0/0"));
    QCOMPARE(p.text("dataTestNumLabel"), QString("0/0"));
    QCOMPARE(cells(p, "dataForce%1Label"), repeated(5, "0.000"));
    QCOMPARE(cells(p, "dataDistance%1Label"), repeated(5, "0.00"));
    QCOMPARE(rates(p), repeated(4, "0.000"));

    p.click("dataPreBtn");
    QCOMPARE(p.dataRequests.last(), requestOf(2, 3));
    p.click("dataPreGroupBtn");
    QCOMPARE(p.dataRequests.last(), requestOf(1, 1));

    forceDecimals = 1;
    p.dialog.receiveSystemData(linearRecord(), noRecord());
    QCOMPARE(cells(p, "dataForce%1Label"), repeated(5, "0.0"));
    QCOMPARE(rates(p), repeated(4, "0.0"));
}

// Nothing to step back from; stepping forward starts at the first record.
void TestMachineParameterData::pagingBeforeFirstRecord_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("noRecordFirst");
    QTest::addColumn<bool>("asksFirstRecord");
    for (const char *button : {"dataPreGroupBtn", "dataNextGroupBtn", "dataPreBtn", "dataNextBtn"}) {
        const bool forward = QByteArray(button).contains("Next");
        QTest::addRow("%s, nothing answered", button) << button << false << forward;
        QTest::addRow("%s, only a no-record answer", button) << button << true << forward;
    }
}

void TestMachineParameterData::pagingBeforeFirstRecord()
{
    QFETCH(QString, button);
    QFETCH(bool, noRecordFirst);
    QFETCH(bool, asksFirstRecord);
    ParameterDialog p;
    p.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(5, 1));
    if (noRecordFirst)
        p.dialog.receiveSystemData(linearRecord(), noRecord());
    p.click(qPrintable(button));
    QCOMPARE(p.dataRequests.count(), asksFirstRecord ? 1 : 0);
    if (asksFirstRecord)
        QCOMPARE(p.dataRequests.at(0), requestOf(1, 1));
}

void TestMachineParameterData::firstRateAndInitialLoadAlwaysBlank()
{
    ParameterDialog p;
    const auto blank = [&p] {
        return p.text("sRate1stLabel").isEmpty() && p.text("iLoadLabel").isEmpty();
    };
    QVERIFY(blank());
    QCOMPARE(p.text("dataGroupNumEdit"), QString());
    p.dialog.receiveSystemData(linearRecord(), record(1, 1, 1, 1));
    QVERIFY(blank());
    p.dialog.receiveSystemData(linearRecord(), noRecord());
    QVERIFY(blank());
}

void TestMachineParameterData::shortRecordIsIgnored_data()
{
    QTest::addColumn<QVector<float>>("pointData");
    QTest::addColumn<QVector<int>>("systemData");
    QTest::newRow("both empty") << QVector<float>() << QVector<int>();
    QTest::newRow("3 ints") << linearRecord() << QVector<int> {3, 3, 3};
    QTest::newRow("9 floats") << linearRecord().mid(0, 9) << record(3, 3, 3, 3);
    QTest::newRow("no-record ints, 9 floats") << linearRecord().mid(0, 9) << noRecord();
    QTest::newRow("three 255s") << linearRecord() << QVector<int> {255, 255, 255};
}

void TestMachineParameterData::shortRecordIsIgnored()
{
    QFETCH(QVector<float>, pointData);
    QFETCH(QVector<int>, systemData);
    ParameterDialog p;
    p.dialog.receiveSystemData(measured({1, 1, 1, 1, 1}, {2, 2, 2, 2, 2}), record(2, 2, 2, 2));
    p.dialog.receiveSystemData(pointData, systemData);
    QCOMPARE(p.text("dataTestNumLabel"), QString("2/2"));
    QCOMPARE(cells(p, "dataForce%1Label"), repeated(5, "1.000"));
    p.click("dataNextBtn");
    QCOMPARE(p.dataRequests.last(), requestOf(2, 3));
}

// Like the worker's direct connection: the answer arrives inside the emit.
void TestMachineParameterData::answersInsideTheRequestMoveThePage()
{
    ParameterDialog p;
    const int recordsInGroup = 2;
    QObject::connect(&p.dialog, &machineParameter::systemDataRequest, &p.dialog,
                     [&p](int group, int scan) {
                         if (scan > recordsInGroup)
                             p.dialog.receiveSystemData(linearRecord(), noRecord());
                         else
                             p.dialog.receiveSystemData(linearRecord(),
                                                        record(group, 9, scan, recordsInGroup));
                     });
    p.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(5, 1));
    p.clickTab(1);
    QCOMPARE(p.text("dataTestNumLabel"), QString("1/2"));
    p.click("dataNextBtn");
    QCOMPARE(p.text("dataTestNumLabel"), QString("2/2"));
    p.click("dataNextBtn");
    QCOMPARE(p.text("dataTestNumLabel"), QString("0/0"));
    p.click("dataPreBtn");
    QCOMPARE(p.text("dataTestNumLabel"), QString("1/2"));
    p.click("dataNextGroupBtn");
    QCOMPARE(p.text("dataGroupNumEdit"), QString("2/9"));
    QCOMPARE(p.dataRequests.count(), 5);
}

void TestMachineParameterData::dataTabClickRefreshesOncePerTest()
{
    ParameterDialog p;
    p.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(5, 1));
    p.clickTab(1);
    QCOMPARE(p.dataRequests.count(), 1);
    QCOMPARE(p.dataRequests.at(0), requestOf(1, 1));
    p.dialog.receiveSystemData(linearRecord(), record(1, 3, 1, 2));
    p.clickTab(1);
    p.clickTab(0);
    p.clickTab(1);
    QCOMPARE(p.dataRequests.count(), 1);

    p.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(5, 2));
    p.clickTab(0);
    QCOMPARE(p.dataRequests.count(), 1);
    p.clickTab(1);
    QCOMPARE(p.dataRequests.count(), 2);
    QCOMPARE(p.dataRequests.at(1), requestOf(1, 1));
    QCOMPARE(p.setRequests.count(), 0);
}

// An earlier dialog's refresh of the same test, or a request that went
// unanswered, does not leave this dialog's Data page blank.
void TestMachineParameterData::dataTabAsksUntilThisDialogShowsARecord()
{
    {
        ParameterDialog first;
        first.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(5, 3));
        first.clickTab(1);
        QCOMPARE(first.dataRequests.count(), 1);
    }
    ParameterDialog second;
    second.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(5, 3));
    second.clickTab(1);
    QCOMPARE(second.dataRequests.count(), 1);
    second.clickTab(1);
    QCOMPARE(second.dataRequests.count(), 2);
    second.dialog.receiveSystemData(linearRecord(), record(1, 3, 1, 2));
    second.clickTab(1);
    QCOMPARE(second.dataRequests.count(), 2);
}

void TestMachineParameterData::refreshNeedsATabBarClick()
{
    ParameterDialog p;
    p.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(5, 1));
    auto *tabs = p.dialog.findChild<QTabWidget *>("tabWidget");
    tabs->setCurrentIndex(1);
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(p.dataRequests.count(), 0);
    p.clickTab(1); // already current, yet a click on the bar still refreshes
    QCOMPARE(p.dataRequests.count(), 1);
}

// Opened while disconnected, or its stored test went unanswered.
void TestMachineParameterData::dataTabAsksBeforeATestIsShown()
{
    ParameterDialog p;
    p.clickTab(1);
    QCOMPARE(p.dataRequests.count(), 1);
    QCOMPARE(p.dataRequests.at(0), requestOf(1, 1));
}

QTEST_MAIN(TestMachineParameterData)
#include "tst_machineparameter_data.moc"
