// A test run from the window against the simulated tester lands in the
// database with exactly the points the window plotted, under the identity
// typed into the identity bar; a part number scanned into the bar chooses
// the library's approved program, which the record keeps.
#include "mainwindow/mainwindow.h"
#include "records/programlibrarystore.h"
#include "records/recordsdatabase.h"
#include "records/testrecorder.h"
#include "storedrecords.h"
#include "support/modalwidget.h"
#include "support/simulatedtester.h"

#include <QtTest>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <qcustomplot.h>

namespace {
constexpr int TestRunTimeoutMs = 10000;
// 2 mm at the simulator's 1/32 mm point step: 65 points a stroke.
constexpr int PointsPerStroke = 65;
} // namespace

class tst_RecordingWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recordedTestHoldsWhatThePlotShows();
    void testStoppedMidStrokeIsAbortedAndGivesItsSerialBack();
    void scannedPartChoosesItsApprovedProgram();

private:
    QTemporaryDir m_folder;
};

void tst_RecordingWindow::initTestCase()
{
    QVERIFY(m_folder.isValid());
    // The identity bar remembers its fields in this user's settings.
    qputenv("XDG_CONFIG_HOME", m_folder.filePath(QStringLiteral("config")).toUtf8());
    qputenv("TORVELIN_DB", m_folder.filePath(QStringLiteral("records.sqlite")).toUtf8());
}

void tst_RecordingWindow::recordedTestHoldsWhatThePlotShows()
{
    // Numbered: each curve point's force is its place in the test, from 1.
    SimulatedTester sim({"--no-pacing", "--numbered"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("TORVELIN_PORT", sim.devicePath().toLocal8Bit());
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *recorder = window.findChild<TestRecorder *>();
    QVERIFY(recorder);
    QSignalSpy stored(recorder, &TestRecorder::testStored);

    const QList<QPair<const char *, QString>> identity{{"operatorEdit", "Mei"},
                                                       {"partNumberEdit", "SP-20"},
                                                       {"batchEdit", "B7"},
                                                       {"serialNumberEdit", "S-0099"}};
    for (const auto &field : identity) {
        auto *edit = window.findChild<QLineEdit *>(QLatin1String(field.first));
        QVERIFY(edit);
        edit->setText(field.second);
    }
    window.findChild<QAction *>(QStringLiteral("actionConnect"))->trigger();
    Curve_Setting setting;
    setting.speed = 500;
    setting.distance = 2.0f;
    QVERIFY(QMetaObject::invokeMethod(&window, "receiveCurveSetting", Q_ARG(Curve_Setting, setting)));
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("startBtn")), Qt::LeftButton);
    QCustomPlot *plot = window.findChild<QCustomPlot *>(QStringLiteral("userPlot"));
    QTRY_COMPARE_WITH_TIMEOUT(plot->graph(1)->dataCount(), PointsPerStroke, TestRunTimeoutMs);
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("stopBtn")), Qt::LeftButton);
    QVERIFY(stored.wait());
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("serialNumberEdit"))->text(),
             QStringLiteral("S-0100"));

    StoredRecords records(DatabaseConfig::current());
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
    const qint64 id = stored.first().first().toLongLong();
    QSqlQuery row(records.db());
    QVERIFY(row.exec(QStringLiteral("SELECT \"operator\", part_number, batch, serial_number, speed, "
                                    "distance, machine_type, status FROM tests WHERE id = %1").arg(id)));
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toString(), QStringLiteral("Mei"));
    QCOMPARE(row.value(1).toString(), QStringLiteral("SP-20"));
    QCOMPARE(row.value(2).toString(), QStringLiteral("B7"));
    QCOMPARE(row.value(3).toString(), QStringLiteral("S-0099"));
    QCOMPARE(row.value(4).toInt(), 500);
    QCOMPARE(row.value(5).toDouble(), 2.0);
    QCOMPARE(row.value(6).toInt(), 500);
    QCOMPARE(row.value(7).toString(), TestStatus::Complete);

    bool contiguous = false;
    QTRY_COMPARE(records.points(id).size(), 2 * PointsPerStroke);
    const QVector<RecordedPoint> points = records.points(id, &contiguous);
    QVERIFY(contiguous);
    QVector<QCPGraphData> byStroke[2];
    for (int seq = 0; seq < points.size(); ++seq) {
        // Acquisition order is the machine's numbering.
        QCOMPARE(points.at(seq).force, double(seq + 1));
        byStroke[points.at(seq).stroke].append(QCPGraphData(points.at(seq).distance, points.at(seq).force));
    }
    for (int stroke = 0; stroke < 2; ++stroke) {
        std::stable_sort(byStroke[stroke].begin(), byStroke[stroke].end(), qcpLessThanSortKey<QCPGraphData>);
        const QCPGraphDataContainer &plotted = *plot->graph(stroke)->data();
        QCOMPARE(byStroke[stroke].size(), plotted.size());
        for (int i = 0; i < plotted.size(); ++i) {
            QCOMPARE(byStroke[stroke].at(i).key, plotted.at(i)->key);
            QCOMPARE(byStroke[stroke].at(i).value, plotted.at(i)->value);
        }
    }
    qunsetenv("TORVELIN_PORT");
}

void tst_RecordingWindow::testStoppedMidStrokeIsAbortedAndGivesItsSerialBack()
{
    SimulatedTester sim({"--no-pacing"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("TORVELIN_PORT", sim.devicePath().toLocal8Bit());
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy stored(window.findChild<TestRecorder *>(), &TestRecorder::testStored);
    auto *serial = window.findChild<QLineEdit *>(QStringLiteral("serialNumberEdit"));
    serial->setText(QStringLiteral("S-0200"));
    window.findChild<QAction *>(QStringLiteral("actionConnect"))->trigger();
    Curve_Setting setting;
    setting.speed = 500;
    setting.distance = 20.0f;
    QVERIFY(QMetaObject::invokeMethod(&window, "receiveCurveSetting", Q_ARG(Curve_Setting, setting)));
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("startBtn")), Qt::LeftButton);
    QCOMPARE(serial->text(), QStringLiteral("S-0201"));
    QCustomPlot *plot = window.findChild<QCustomPlot *>(QStringLiteral("userPlot"));
    QTRY_VERIFY_WITH_TIMEOUT(plot->graph(0)->dataCount() > 10, TestRunTimeoutMs);
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("stopBtn")), Qt::LeftButton);
    QVERIFY(stored.wait());
    // The spring is tested again under its own number.
    QCOMPARE(serial->text(), QStringLiteral("S-0200"));

    StoredRecords records(DatabaseConfig::current());
    QVERIFY2(records.isOpen(), qPrintable(records.error()));
    QSqlQuery row(records.db());
    QVERIFY(row.exec(QStringLiteral("SELECT status, verdict, serial_number, gap_seconds FROM tests WHERE id = %1")
                         .arg(stored.first().first().toLongLong())));
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toString(), TestStatus::Aborted);
    QVERIFY(row.value(1).isNull());
    QCOMPARE(row.value(2).toString(), QStringLiteral("S-0200"));
    QVERIFY(row.value(3).isNull()); // the line held
    qunsetenv("TORVELIN_PORT");
}

void tst_RecordingWindow::scannedPartChoosesItsApprovedProgram()
{
    QString error;
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
    QVERIFY2(db.isValid(), qPrintable(error));
    ProgramLibraryStore library(db);
    TestProgram program;
    program.number = 7;
    program.points << TestPoint{1.0, 50, 0, 1000, 0, {}};
    qint64 approved = 0;
    QVERIFY(library.add(program, "Valve", {"SP-30"}, &approved));
    QVERIFY(library.approve(approved));

    SimulatedTester sim({"--no-pacing"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("TORVELIN_PORT", sim.devicePath().toLocal8Bit());
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy stored(window.findChild<TestRecorder *>(), &TestRecorder::testStored);
    auto *part = window.findChild<QLineEdit *>(QStringLiteral("partNumberEdit"));
    auto *shown = window.findChild<QLabel *>(QStringLiteral("partProgramLabel"));
    auto *start = window.findChild<QPushButton *>(QStringLiteral("startBtn"));
    auto scan = [part](const QString &code) {
        part->clear();
        QTest::keyClicks(part, code);
        QTest::keyClick(part, Qt::Key_Return);
    };
    scan(QStringLiteral("SP-30"));
    QCOMPARE(shown->text(), QStringLiteral("program 7 \"Valve\" version 1"));

    window.findChild<QAction *>(QStringLiteral("actionConnect"))->trigger();
    Curve_Setting setting;
    setting.speed = 500;
    setting.distance = 1.0f;
    QVERIFY(QMetaObject::invokeMethod(&window, "receiveCurveSetting", Q_ARG(Curve_Setting, setting)));
    // Another choice in the Program menu is not what the part needs.
    window.findChild<QAction *>(QStringLiteral("actionNoProgram"))->trigger();
    QVERIFY(shown->text().isEmpty());
    QString refusal;
    whenModalOfTypeOpens<QMessageBox>(&window, [&refusal](QMessageBox *box) {
        refusal = box->text();
        box->accept();
    });
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY2(refusal.contains(QStringLiteral("Part SP-30 needs program 7 \"Valve\" version 1.")),
             qPrintable(refusal));
    QVERIFY(start->isEnabled());

    scan(QStringLiteral("SP-30"));
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(!start->isEnabled());
    QCustomPlot *plot = window.findChild<QCustomPlot *>(QStringLiteral("userPlot"));
    QTRY_VERIFY_WITH_TIMEOUT(plot->graph(1)->dataCount() > 0, TestRunTimeoutMs);
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("stopBtn")), Qt::LeftButton);
    QVERIFY(stored.wait());
    QSqlQuery row(db);
    QVERIFY(row.exec(QStringLiteral("SELECT program_id, program_version, verification_id FROM tests "
                                    "WHERE id = %1").arg(stored.first().first().toLongLong())));
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toLongLong(), approved);
    QCOMPARE(row.value(1).toInt(), 1);
    QVERIFY(row.value(2).isNull()); // never verified
    qunsetenv("TORVELIN_PORT");
}

QTEST_MAIN(tst_RecordingWindow)
#include "tst_recording_window.moc"
