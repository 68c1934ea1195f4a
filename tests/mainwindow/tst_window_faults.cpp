// The window against a misbehaving tester: no answer, garbled or rejected
// blocks, NaN and infinite values, late answers, a line hung up mid-test.
// The window must keep answering, never plot what the line garbled, and
// never lose the curves already drawn.
#include "numbers/numbertext.h"
#include "linkstatus/linkindicator.h"
#include "mainwindow/mainwindow.h"
#include "session/testrun.h"
#include "records/recordqueries.h"
#include "records/recordsdatabase.h"
#include "records/storedtest.h"
#include "records/testrecorder.h"
#include "support/simulatedtester.h"

#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QDialog>
#include <QLabel>
#include <QStatusBar>

#include <qcustomplot.h>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>

namespace {

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// How long the worker waits for an answer that does not come.
constexpr qint64 ResponseTimeoutMs = 500;

// Largest lateness of a 10 ms timer on the GUI thread over `ms`.
qint64 worstTimerLatenessMs(int ms)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worst = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last - 10);
        last = now;
    });
    heartbeat.start(10);
    QTest::qWait(ms);
    return worst;
}

} // namespace

class tst_WindowFaults : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void silentTesterLeavesTheWindowResponsive();
    void garbledOrRejectedBlocksPlotNothingAndTheTestGoesOn_data();
    void garbledOrRejectedBlocksPlotNothingAndTheTestGoesOn();
    void nonFiniteLiveValuesKeepTheReadoutUsable_data();
    void nonFiniteLiveValuesKeepTheReadoutUsable();
    void nonFiniteCurvePointsAreNotPlotted_data();
    void nonFiniteCurvePointsAreNotPlotted();
    void lateAnswersInCurveModeDrawNoPointTwice();
    void hangupMidTestResumesByItselfAndTellsTheGap();
    void aStartTheTesterDidNotTakeCountsNoSerialNumber();
    void aStopTheTesterDidNotTakeKeepsStartLocked();
    void closingTheWindowDuringATestStopsTheMachine();

private:
    bool connectTo(const QStringList &arguments);
    void startShortTest(double distance = 2.0);
    QCustomPlot *plot() const { return window->findChild<QCustomPlot *>("userPlot"); }
    QAction *action(const char *name) const { return window->findChild<QAction *>(name); }
    QString status() const { return window->statusBar()->currentMessage(); }
    LinkIndicator *indicator() const { return window->findChild<LinkIndicator *>("linkIndicator"); }
    QVector<double> values(int graph) const
    {
        QVector<double> v;
        for (auto it = plot()->graph(graph)->data()->constBegin();
             it != plot()->graph(graph)->data()->constEnd(); ++it)
            v << it->value;
        return v;
    }
    // Numbered forces count the points handed out.
    int highestNumber() const
    {
        const QVector<double> all = values(0) + values(1);
        return all.isEmpty() ? 0 : int(*std::max_element(all.begin(), all.end()));
    }
    // The machine has run its test and handed out every point it produced.
    bool testFinished()
    {
        return sim->state("phase") == QLatin1String("idle")
               && sim->state("handed") == sim->state("produced");
    }

    SimulatedTester *sim = nullptr;
    MainWindow *window = nullptr;
};

void tst_WindowFaults::cleanup()
{
    delete window;
    window = nullptr;
    delete sim;
    sim = nullptr;
    qunsetenv("TORVELIN_PORT");
    forceDecimals = 3;
}

bool tst_WindowFaults::connectTo(const QStringList &arguments)
{
    sim = new SimulatedTester(arguments);
    if (!sim->start()) {
        qWarning() << sim->errorString();
        return false;
    }
    qputenv("TORVELIN_PORT", sim->devicePath().toLocal8Bit());
    window = new MainWindow;
    window->show();
    action("actionConnect")->trigger();
    return !action("actionConnect")->isEnabled();
}

void tst_WindowFaults::startShortTest(double distance)
{
    Curve_Setting setting;
    setting.speed = 500;
    setting.distance = float(distance);
    QVERIFY(QMetaObject::invokeMethod(window, "receiveCurveSetting", Qt::DirectConnection,
                                      Q_ARG(Curve_Setting, setting)));
    QVERIFY(QMetaObject::invokeMethod(window, "on_startBtn_clicked", Qt::DirectConnection));
}

void tst_WindowFaults::silentTesterLeavesTheWindowResponsive()
{
    QVERIFY(connectTo({"--numbered"}));
    QLabel *force = window->findChild<QLabel *>("forceLabel");
    QTRY_VERIFY(!force->text().isEmpty());
    const QString connected = status();
    QCOMPARE(indicator()->state(), LinkIndicator::Answering);
    action("actionLinkStatistics")->trigger();
    auto *statistics = window->findChild<QDialog *>("LinkStatisticsDialog");
    QVERIFY(statistics && statistics->isVisible());
    QVERIFY(sim->command("fault silent"));
    // Each try waits out the 0.5 s timeout on the worker thread, not here.
    const qint64 worst = worstTimerLatenessMs(1500);
    qInfo("worst GUI timer lateness with a silent tester: %lld ms", worst);
    // A GUI thread that waited for an answer would be late by a whole
    // timeout; a busy machine makes it late by far less.
    QVERIFY2(worst < ResponseTimeoutMs * 4 / 5, qPrintable(QString::number(worst)));
    // The operator is told, in the status bar and by the indicator, and the
    // statistics show the timeouts.
    QTRY_COMPARE(status(), QStringLiteral("No answer from the tester"));
    QCOMPARE(indicator()->state(), LinkIndicator::NotAnswering);
    QVERIFY(indicator()->toolTip().contains("Timeouts: "));
    QTRY_VERIFY(statistics->findChild<QLabel *>("timeoutsValue")->text().toInt() >= 2);
    const QString stale = force->text();
    QVERIFY(sim->command("clear"));
    QTRY_VERIFY_WITH_TIMEOUT(force->text() != stale, 3000);
    QTRY_COMPARE(status(), connected);
    QCOMPARE(indicator()->state(), LinkIndicator::Answering);
}

void tst_WindowFaults::garbledOrRejectedBlocksPlotNothingAndTheTestGoesOn_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("corrupted CRC") << "bad-crc";
    QTest::newRow("junk bytes") << "junk";
    QTest::newRow("truncated frame") << "truncated";
    QTest::newRow("count 0") << "count-0";
    QTest::newRow("count 31") << "count-31";
    QTest::newRow("type 3") << "type-3";
    QTest::newRow("no answer") << "silent";
}

void tst_WindowFaults::garbledOrRejectedBlocksPlotNothingAndTheTestGoesOn()
{
    QFETCH(QString, fault);
    QVERIFY(connectTo({"--numbered"}));
    startShortTest();
    QTRY_VERIFY(!plot()->graph(0)->data()->isEmpty());
    QVERIFY(sim->command("fault " + fault + " 2"));
    QTRY_VERIFY_WITH_TIMEOUT(testFinished(), 10000);
    QTRY_COMPARE(highestNumber(), sim->state("handed").toInt());
    // Numbered forces: whatever was plotted is a real point, once.
    QVector<double> all = values(0) + values(1);
    std::sort(all.begin(), all.end());
    QVERIFY(std::adjacent_find(all.begin(), all.end()) == all.end());
    for (double v : all)
        QVERIFY(v >= 1 && v == std::floor(v));
    QVERIFY(!values(1).isEmpty());
}

void tst_WindowFaults::nonFiniteLiveValuesKeepTheReadoutUsable_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("NaN") << "nan";
    QTest::newRow("infinity") << "inf";
}

void tst_WindowFaults::nonFiniteLiveValuesKeepTheReadoutUsable()
{
    QFETCH(QString, fault);
    QVERIFY(connectTo({}));
    QLabel *force = window->findChild<QLabel *>("forceLabel");
    QLabel *distance = window->findChild<QLabel *>("distanceLabel");
    QVERIFY(sim->command("fault " + fault));
    QTRY_VERIFY_WITH_TIMEOUT(force->text().contains(fault), 3000);
    QVERIFY(sim->command("clear"));
    const QRegularExpression number(QStringLiteral("^-?\\d+\\.\\d{3} N$"));
    QTRY_VERIFY_WITH_TIMEOUT(number.match(force->text()).hasMatch(), 3000);
    QVERIFY(QRegularExpression(QStringLiteral("^-?\\d+\\.\\d\\d mm$")).match(distance->text()).hasMatch());
}

void tst_WindowFaults::nonFiniteCurvePointsAreNotPlotted_data()
{
    nonFiniteLiveValuesKeepTheReadoutUsable_data();
}

void tst_WindowFaults::nonFiniteCurvePointsAreNotPlotted()
{
    QFETCH(QString, fault);
    QVERIFY(connectTo({}));
    startShortTest();
    QTRY_VERIFY(!plot()->graph(0)->data()->isEmpty());
    QVERIFY(sim->command("fault " + fault + " 3"));
    QTRY_VERIFY_WITH_TIMEOUT(testFinished(), 10000);
    QTRY_VERIFY(!plot()->graph(1)->data()->isEmpty());
    for (int g = 0; g < 2; ++g) {
        for (auto it = plot()->graph(g)->data()->constBegin();
             it != plot()->graph(g)->data()->constEnd(); ++it)
            QVERIFY(std::isfinite(it->key) && std::isfinite(it->value));
    }
    // The plot still draws and exports.
    plot()->replot();
    QVERIFY(!plot()->toPixmap(200, 150).isNull());
}

void tst_WindowFaults::lateAnswersInCurveModeDrawNoPointTwice()
{
    QVERIFY(connectTo({"--numbered"}));
    startShortTest(4.0);
    QTRY_VERIFY(!plot()->graph(0)->data()->isEmpty());
    QVERIFY(sim->command("fault late 2"));
    QTRY_VERIFY_WITH_TIMEOUT(testFinished(), 15000);
    QTRY_COMPARE(highestNumber(), sim->state("handed").toInt());
    QVector<double> all = values(0) + values(1);
    std::sort(all.begin(), all.end());
    QVERIFY2(std::adjacent_find(all.begin(), all.end()) == all.end(), "a stale block was drawn again");
}

void tst_WindowFaults::hangupMidTestResumesByItselfAndTellsTheGap()
{
    const QString link = QDir::temp().filePath(
        QStringLiteral("torvelin-window-%1").arg(QCoreApplication::applicationPid()));
    QVERIFY(connectTo({"--link", link, "--numbered"}));
    startShortTest(6.0);
    QTRY_VERIFY(plot()->graph(0)->data()->size() > 10);
    QVERIFY(sim->command("hangup"));
    QTRY_COMPARE(status(), QStringLiteral("No answer from the tester"));
    const int drawn = plot()->graph(0)->data()->size();

    const double cpuBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const qint64 worst = worstTimerLatenessMs(1000);
    const double share = (processCpuSeconds() - cpuBefore) / (wall.elapsed() / 1000.0);
    qInfo("dead line: %.1f %% of a core, worst GUI lateness %lld ms", 100 * share, worst);
    QVERIFY2(share < 0.10, qPrintable(QString::number(share)));
    QCOMPARE(plot()->graph(0)->data()->size(), drawn);

    // The line comes back: no operator action, the curve goes on, and the
    // status bar says how long it was interrupted.
    auto *recorder = window->findChild<TestRecorder *>();
    QSignalSpy stored(recorder, &TestRecorder::testStored);
    QVERIFY(sim->command("reconnect"));
    QTRY_VERIFY_WITH_TIMEOUT(status().contains("the curve was interrupted for"), 3000);
    QVERIFY(!action("actionConnect")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(testFinished(), 15000);
    QTRY_COMPARE(highestNumber(), sim->state("handed").toInt());
    QVERIFY(plot()->graph(0)->data()->size() > drawn);

    // The gap did not end the test: its record ends when the machine is
    // back, with every point plotted and the gap's length and place.
    QTRY_COMPARE_WITH_TIMEOUT(stored.count(), 1, TestRun::EndSilenceMs * 3);
    StoredTest test;
    QString error;
    QVERIFY2(RecordQueries::loadTest(RecordsDatabase::forCurrentThread(&error),
                                     stored.first().first().toLongLong(), true, &test, &error),
             qPrintable(error));
    QCOMPARE(test.status, TestStatus::Complete);
    QCOMPARE(test.points.size(), plot()->graph(0)->dataCount() + plot()->graph(1)->dataCount());
    QVERIFY(test.gap);
    QVERIFY2(test.gap->seconds >= 1.0, qPrintable(QString::number(test.gap->seconds)));
    QVERIFY(test.gap->fromDistance && test.gap->toDistance);
    QVERIFY(*test.gap->fromDistance > 0 && *test.gap->toDistance <= 6.0);
    QFile::remove(link);
}

void tst_WindowFaults::aStartTheTesterDidNotTakeCountsNoSerialNumber()
{
    QVERIFY(connectTo({"--no-pacing"}));
    auto *serial = window->findChild<QLineEdit *>("serialNumberEdit");
    QVERIFY(serial);
    serial->setText(QStringLiteral("S-41"));
    window->findChild<QCheckBox *>("countUpCheckBox")->setChecked(true);
    QVERIFY(sim->command("fault busy 1"));
    startShortTest();
    QCOMPARE(status(), QStringLiteral("The tester was busy and did not take Start: no test runs. "
                                      "Press Start again."));
    QCOMPARE(serial->text(), QStringLiteral("S-41"));
    QVERIFY(window->findChild<QPushButton *>("startBtn")->isEnabled());
    QCOMPARE(sim->state("phase"), QStringLiteral("idle"));
}

// Busy three times: Start stays locked while the worker sends Stop again.
void tst_WindowFaults::aStopTheTesterDidNotTakeKeepsStartLocked()
{
    QVERIFY(connectTo({"--no-pacing"}));
    startShortTest(10.0);
    QTRY_VERIFY(!plot()->graph(0)->data()->isEmpty());
    QVERIFY(sim->command("fault busy 3"));
    QVERIFY(QMetaObject::invokeMethod(window, "on_stopBtn_clicked", Qt::DirectConnection));
    auto *start = window->findChild<QPushButton *>("startBtn");
    QVERIFY(!start->isEnabled());
    QVERIFY(status().startsWith(QStringLiteral("The tester is busy and did not take Stop")));
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 3000);
    QCOMPARE(status(), QStringLiteral("The tester got Stop. Start tests the next spring."));
    QCOMPARE(sim->state("phase"), QStringLiteral("idle"));
}

void tst_WindowFaults::closingTheWindowDuringATestStopsTheMachine()
{
    QVERIFY(connectTo({"--no-pacing"}));
    startShortTest(10.0);
    QTRY_VERIFY(!plot()->graph(0)->data()->isEmpty());
    window->close();
    delete window;
    window = nullptr;
    QCOMPARE(sim->state("phase"), QStringLiteral("idle"));
}

QTEST_MAIN(tst_WindowFaults)
#include "tst_window_faults.moc"
