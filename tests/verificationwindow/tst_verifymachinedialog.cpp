// Device → Verify Machine against the simulated tester, whose force at rest
// is its spring rate times the crosshead's position: known to the newton.
#include "device/modbusthread.h"
#include "verificationwindow/verifymachinedialog.h"
#include "support/simulatedtester.h"
#include "support/timescale.h"

#include <QtTest>
#include <QtWidgets>

namespace {

constexpr double SpringRate = 20; // N/mm

// The cell of the table on the dialog's current tab.
QTableWidgetItem *cell(VerifyMachineDialog &dialog, const char *table, int row, int column)
{
    return dialog.findChild<QTableWidget *>(table)->item(row, column);
}

} // namespace

class tst_VerifyMachineDialog : public QObject
{
    Q_OBJECT

private slots:
    void guidedVerificationFoundOffAndLeftWithin();
};

void tst_VerifyMachineDialog::guidedVerificationFoundOffAndLeftWithin()
{
    SimulatedTester sim({"--no-pacing", "--type", "500", "--spring-rate", QString::number(SpringRate),
                         "--noise", "0.02"});
    if (!sim.start())
        QFAIL(qPrintable(sim.errorString()));
    QVERIFY(sim.command(QStringLiteral("set position 5"))); // 100 N
    modbusThread worker;
    Serial_Setting_Type line;
    line.portName = sim.devicePath();
    worker.receiveSerailSetting(line);
    QVERIFY(worker.openSerial());

    VerificationSetup setup;
    setup.station = QStringLiteral("bench-1");
    setup.performedBy = QStringLiteral("M. Weber");
    setup.machineRange = 500;
    setup.reference = {QStringLiteral("Load cell"), QStringLiteral("DAkkS-123"), QDate::currentDate().addMonths(6)};
    VerifyMachineDialog dialog(setup);
    connect(&worker, &modbusThread::sendCurrentPointValue, &dialog,
            &VerifyMachineDialog::receiveCurrentPointValue);
    QSignalSpy sent(&dialog, &VerifyMachineDialog::sendVerification);
    connect(&dialog, &VerifyMachineDialog::sendVerification, &dialog, &VerifyMachineDialog::receiveRecorded);
    worker.start();
    dialog.show();

    auto *table = dialog.findChild<QTableWidget *>("asFoundTable");
    QCOMPARE(table->rowCount(), 5); // 20 % … 100 % of 500 N
    QCOMPARE(table->item(4, 0)->text(), QStringLiteral("500.000"));
    auto *take = dialog.findChild<QPushButton *>("takeButton");
    auto takePoint = [&](const char *tableName, int row, const QString &reference) {
        auto *t = dialog.findChild<QTableWidget *>(tableName);
        t->item(row, 0)->setText(reference);
        t->setCurrentCell(row, 0);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(take, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!t->item(row, 1)->text().isEmpty(), TimeScale::lateBoundMs(5000));
        // Averaged over the whole second, not the first reading.
        QVERIFY(clock.elapsed() >= VerifyMachineDialog::AverageMs - 50);
    };

    // As found: 100 N indicated against a reference of 100 N and of 98 N.
    takePoint("asFoundTable", 0, "100");
    QVERIFY(std::fabs(cell(dialog, "asFoundTable", 0, 1)->text().toDouble() - 100) <= 0.02);
    QCOMPARE(cell(dialog, "asFoundTable", 0, 3)->text(), QStringLiteral("Pass"));
    takePoint("asFoundTable", 1, "98");
    QCOMPARE(cell(dialog, "asFoundTable", 1, 2)->text(), QStringLiteral("2.04"));
    QCOMPARE(cell(dialog, "asFoundTable", 1, 3)->text(), QStringLiteral("Fail"));
    while (table->rowCount() > 2) {
        table->setCurrentCell(2, 0);
        QTest::mouseClick(dialog.findChild<QPushButton *>("removePointButton"), Qt::LeftButton);
    }

    // Adjusted, then as left at the same two reference forces.
    dialog.findChild<QCheckBox *>("adjustedCheckBox")->setChecked(true);
    QCOMPARE(dialog.findChild<QTableWidget *>("asLeftTable")->rowCount(), 2);
    takePoint("asLeftTable", 0, "100");
    QVERIFY(sim.command(QStringLiteral("set position 4.9"))); // 98 N
    takePoint("asLeftTable", 1, "98");

    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->click();
    QCOMPARE(sent.count(), 1);
    const auto v = sent.first().first().value<MachineVerification>();
    QCOMPARE(v.asFoundVerdict, VerificationVerdict::Fail);
    QCOMPARE(v.asLeftVerdict, std::optional<VerificationVerdict>(VerificationVerdict::Pass));
    QCOMPARE(v.asFound.force.size(), 2);
    QCOMPARE(v.asFound.force.at(1).reference, 98.0);
    QCOMPARE(v.nextDue, QDate::currentDate().addMonths(12));
    QCOMPARE(v.reference.certificate, QStringLiteral("DAkkS-123"));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    worker.stopThread();
    worker.wait();
}

QTEST_MAIN(tst_VerifyMachineDialog)
#include "tst_verifymachinedialog.moc"
