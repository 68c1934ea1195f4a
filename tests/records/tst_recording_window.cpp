// A test run from the window against the simulated tester lands in the
// database with exactly the points the window plotted, under the identity
// typed into the identity bar.
#include "mainwindow/mainwindow.h"
#include "records/testrecorder.h"
#include "storedrecords.h"
#include "support/simulatedtester.h"

#include <QtTest>

#include <QAction>
#include <QLineEdit>
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

QTEST_MAIN(tst_RecordingWindow)
#include "tst_recording_window.moc"
