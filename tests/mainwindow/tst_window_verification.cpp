// Device → Verify Machine… from the window against the simulated tester
// (its force at rest is its spring rate times the crosshead's position):
// the verification is recorded with its certificate, the status bar shows
// it in force, and the next test's record keeps its id.
#include "mainwindow/mainwindow.h"
#include "records/recordsdatabase.h"
#include "records/testrecorder.h"
#include "records/verificationstore.h"
#include "support/modalwidget.h"
#include "support/simulatedtester.h"
#include "support/timescale.h"
#include "verificationwindow/verifymachinedialog.h"

#include <QtTest>
#include <QtWidgets>
#include <QSqlQuery>

class tst_WindowVerification : public QObject
{
    Q_OBJECT

private slots:
    void verifiedMachineOnRecordAndInForce();

private:
    QTemporaryDir m_folder;
};

void tst_WindowVerification::verifiedMachineOnRecordAndInForce()
{
    qputenv("XDG_CONFIG_HOME", m_folder.filePath(QStringLiteral("config")).toUtf8());
    qputenv("TORVELIN_DB", m_folder.filePath(QStringLiteral("records.sqlite")).toUtf8());
    SimulatedTester sim({"--no-pacing", "--type", "500", "--spring-rate", "20"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QVERIFY(sim.command(QStringLiteral("set position 5"))); // 100 N
    qputenv("TORVELIN_PORT", sim.devicePath().toLocal8Bit());
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *status = window.findChild<QLabel *>(QStringLiteral("verificationStatusLabel"));
    QCOMPARE(status->text(), QStringLiteral("Machine not verified"));
    window.findChild<QAction *>(QStringLiteral("actionConnect"))->trigger();

    int rows = 0;
    // A refusal would hold the dialog open: it fails the test with its text.
    whenModalOfTypeOpens<QMessageBox>(&window, [](QMessageBox *box) { QFAIL(qPrintable(box->text())); });
    whenModalOfTypeOpens<VerifyMachineDialog>(&window, [&rows](VerifyMachineDialog *dialog) {
        dialog->findChild<QLineEdit *>("referenceNameEdit")->setText("Load cell");
        dialog->findChild<QLineEdit *>("certificateEdit")->setText("DAkkS-123");
        dialog->findChild<QLineEdit *>("performedByEdit")->setText("M. Weber");
        dialog->findChild<QDateEdit *>("referenceDueEdit")->setDate(QDate::currentDate().addMonths(6));
        auto *table = dialog->findChild<QTableWidget *>("asFoundTable");
        rows = table->rowCount(); // from the connected machine's range
        while (table->rowCount() > 1) {
            table->setCurrentCell(1, 0);
            QTest::mouseClick(dialog->findChild<QPushButton *>("removePointButton"), Qt::LeftButton);
        }
        table->item(0, 0)->setText("100");
        table->setCurrentCell(0, 0);
        QTest::mouseClick(dialog->findChild<QPushButton *>("takeButton"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!table->item(0, 1)->text().isEmpty(), TimeScale::lateBoundMs(5000));
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->click();
    });
    window.findChild<QAction *>(QStringLiteral("actionVerifyMachine"))->trigger();
    QCOMPARE(rows, 5); // 20 % … 100 % of 500 N

    QSqlDatabase db = RecordsDatabase::forCurrentThread();
    VerificationStore store(db);
    QVector<MachineVerification> verifications;
    QVERIFY(store.readStation({TestHeader::thisStation()}, &verifications));
    QCOMPARE(verifications.size(), 1);
    const MachineVerification v = verifications.first();
    QCOMPARE(v.asFoundVerdict, VerificationVerdict::Pass);
    QCOMPARE(v.reference.certificate, QStringLiteral("DAkkS-123"));
    QFile certificate(v.certificatePath);
    QVERIFY2(certificate.open(QIODevice::ReadOnly), qPrintable(v.certificatePath));
    QVERIFY(certificate.read(5) == "%PDF-");
    certificate.remove();
    QCOMPARE(status->text(), QStringLiteral("Machine verified, due %1")
                                 .arg(QDate::currentDate().addMonths(12).toString(Qt::ISODate)));

    QSignalSpy stored(window.findChild<TestRecorder *>(), &TestRecorder::testStored);
    Curve_Setting setting;
    setting.speed = 500;
    setting.distance = 0.5f;
    QVERIFY(QMetaObject::invokeMethod(&window, "receiveCurveSetting", Q_ARG(Curve_Setting, setting)));
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("startBtn")), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("stopBtn")), Qt::LeftButton);
    QVERIFY(stored.wait());
    QSqlQuery row(db);
    QVERIFY(row.exec(QStringLiteral("SELECT verification_id FROM tests WHERE id = %1")
                         .arg(stored.first().first().toLongLong())));
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toLongLong(), v.id);
    qunsetenv("TORVELIN_PORT");
}

QTEST_MAIN(tst_WindowVerification)
#include "tst_window_verification.moc"
