// The machine parameter dialog wired to the real worker, as the main window
// wires it, paging through the simulated tester's stored tests and results
// over a real virtual line.
#include "device/modbusthread.h"
#include "numbers/numbertext.h"
#include "parameterdialog.h"
#include "support/simulatedtester.h"

#include <QtTest>

class tst_MachineParameterDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pagesThroughStoredTestsWithinTheirCount();
    void dataTabPagesRecordsAndStepsBackFromTheEnd();
    void dataTabRefreshesOncePerTestShown();
    void secondDialogShowsTheFirstRecordAfterAnUnansweredRequest();

private:
    // A new dialog wired to the worker as the main window wires it, showing
    // stored test 1.
    void openDialog();
    // Writes (requests) the tester received so far.
    int requestsSent() { return sim->stats().value("fc16"); }

    SimulatedTester *sim = nullptr;
    modbusThread *worker = nullptr;
    ParameterDialog *page = nullptr;
};

void tst_MachineParameterDevice::init()
{
    forceDecimals = 3;
    machineParameter::resetLastDataTest();
    sim = new SimulatedTester({"--no-pacing"});
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    worker = new modbusThread;
    Serial_Setting_Type setting;
    setting.portName = sim->devicePath();
    worker->receiveSerailSetting(setting);
    QVERIFY(worker->openSerial());
    openDialog();
}

void tst_MachineParameterDevice::openDialog()
{
    delete page;
    page = new ParameterDialog;
    machineParameter *dialog = &page->dialog;
    connect(worker, &modbusThread::sendSystemSetting, dialog, &machineParameter::receiveSystemSetting);
    connect(dialog, &machineParameter::systemSetRequest, worker, &modbusThread::getSystemSet);
    connect(worker, &modbusThread::sendSystemData, dialog, &machineParameter::receiveSystemData);
    connect(dialog, &machineParameter::systemDataRequest, worker, &modbusThread::getSystemData);
    worker->getSystemSet(1);
}

void tst_MachineParameterDevice::cleanup()
{
    delete page;
    delete worker;
    delete sim;
    page = nullptr;
    worker = nullptr;
    sim = nullptr;
}

void tst_MachineParameterDevice::pagesThroughStoredTestsWithinTheirCount()
{
    QCOMPARE(page->text("testNumEdit"), QStringLiteral("1/5"));
    QCOMPARE(page->text("force1stEdit"), QStringLiteral("10.000"));
    QCOMPARE(page->text("distance2ndEdit"), QStringLiteral("10.00"));

    int sent = requestsSent();
    page->click("preBtn");
    QCOMPARE(requestsSent(), sent);
    QCOMPARE(page->text("testNumEdit"), QStringLiteral("1/5"));

    for (int test = 2; test <= 5; ++test) {
        page->click("nextBtn");
        QCOMPARE(page->text("testNumEdit"), QStringLiteral("%1/5").arg(test));
    }
    QCOMPARE(page->text("speedEdit"), QStringLiteral("250"));
    QCOMPARE(page->text("force1stEdit"), QStringLiteral("50.000"));

    sent = requestsSent();
    page->click("nextBtn");
    QCOMPARE(requestsSent(), sent);
    page->click("preBtn");
    QCOMPARE(page->text("testNumEdit"), QStringLiteral("4/5"));
}

void tst_MachineParameterDevice::dataTabPagesRecordsAndStepsBackFromTheEnd()
{
    page->clickTab(1);
    QCOMPARE(page->text("dataGroupNumEdit"), QStringLiteral("1/3"));
    QCOMPARE(page->text("dataTestNumLabel"), QStringLiteral("1/2"));
    QCOMPARE(page->text("dataDistance1stLabel"), QStringLiteral("5.00"));
    QCOMPARE(page->text("sRate1stLabel"), QString());
    QCOMPARE(page->text("iLoadLabel"), QString());
    QVERIFY(!page->text("sRate2ndLabel").isEmpty());

    page->click("dataNextBtn");
    QCOMPARE(page->text("dataTestNumLabel"), QStringLiteral("2/2"));
    // Past the group's last record the tester answers "no such record".
    page->click("dataNextBtn");
    QCOMPARE(page->text("dataGroupNumEdit"), QStringLiteral("0/0"));
    QCOMPARE(page->text("dataTestNumLabel"), QStringLiteral("0/0"));
    QCOMPARE(page->text("dataForce1stLabel"), QStringLiteral("0.000"));
    QCOMPARE(page->text("dataDistance5thLabel"), QStringLiteral("0.00"));
    QCOMPARE(page->text("sRate5thLabel"), QStringLiteral("0.000"));
    // Pre steps back from the last record shown, not from the one asked for.
    page->click("dataPreBtn");
    QCOMPARE(page->text("dataGroupNumEdit"), QStringLiteral("1/3"));
    QCOMPARE(page->text("dataTestNumLabel"), QStringLiteral("1/2"));

    page->click("dataNextGroupBtn");
    QCOMPARE(page->text("dataGroupNumEdit"), QStringLiteral("2/3"));
    QCOMPARE(page->text("dataTestNumLabel"), QStringLiteral("1/3"));
}

void tst_MachineParameterDevice::dataTabRefreshesOncePerTestShown()
{
    page->clickTab(1);
    QCOMPARE(page->text("dataTestNumLabel"), QStringLiteral("1/2"));
    page->click("dataNextBtn");
    const int sent = requestsSent();
    page->clickTab(0);
    page->clickTab(1);
    QCOMPARE(requestsSent(), sent);
    QCOMPARE(page->text("dataTestNumLabel"), QStringLiteral("2/2"));

    page->clickTab(0);
    page->click("nextBtn");
    page->clickTab(1);
    QCOMPARE(page->text("dataTestNumLabel"), QStringLiteral("1/2"));
}

void tst_MachineParameterDevice::secondDialogShowsTheFirstRecordAfterAnUnansweredRequest()
{
    page->clickTab(1);
    QCOMPARE(page->text("dataTestNumLabel"), QStringLiteral("1/2"));

    openDialog();
    QCOMPARE(page->text("testNumEdit"), QStringLiteral("1/5"));
    QVERIFY(sim->command("fault silent 1"));
    page->clickTab(1);
    QCOMPARE(page->text("dataTestNumLabel"), QString());
    page->clickTab(1);
    QCOMPARE(page->text("dataGroupNumEdit"), QStringLiteral("1/3"));
    QCOMPARE(page->text("dataTestNumLabel"), QStringLiteral("1/2"));
}

QTEST_MAIN(tst_MachineParameterDevice)
#include "tst_machineparameter_device.moc"
