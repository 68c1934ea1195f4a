// The results panel and the Program menu in the window, against the
// simulated tester and its stored test programs.
#include "mainwindow/mainwindow.h"
#include "results/verdictband.h"
#include "results/verdictsound.h"
#include "support/modalwidget.h"
#include "support/simulatedtester.h"

#include <QtTest>

#include <QAction>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>

#include <qcustomplot.h>

#include <memory>

namespace {

// Stored program 1 of the simulator: points every 5 mm, 10 N per 5 mm within
// 5p %; its 2 N/mm spring gives 10.2 N at 5 mm and 20.4 N at 10 mm forward.
// A 12 mm test reaches the first two points only.
const char SpringRate[] = "2";
const char TestDistance[] = "12";
constexpr int TestSpeed = 500;
constexpr int ProgramPoints = 5;
constexpr int ItemsPerPoint = 3; // band, measured marker, number
constexpr int TestRunTimeoutMs = 20000;

} // namespace

class tst_ResultsDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void storedProgramJudgesTheTestLiveAndIsRememberedAtConnect();
    void eachSpringTakesOneStartAndIsJudgedAlone();
    void chosenProgramSetsTheStartAndThePlotUntilChartOverrides();

private:
    void openAndConnect();
    // A tester with `arguments`, the window connected, stored program `number` chosen.
    void startWithMachineProgram(const QStringList &arguments, int number);
    QString cell(int row, int column) const
    {
        const QTableWidgetItem *item = child<QTableWidget>("resultsTable")->item(row, column);
        return item ? item->text() : QString();
    }
    QString verdict() const { return child<QLabel>("resultsVerdictLabel")->text(); }
    QString programText() const { return child<QLabel>("resultsProgramLabel")->text(); }
    VerdictBand *band() const { return child<VerdictBand>("verdictBand"); }
    // The largest text of the window's widgets other than the band.
    int largestOtherText() const
    {
        int largest = 0;
        for (const QWidget *widget : window->findChildren<QWidget *>()) {
            if (widget != band() && widget->isVisible())
                largest = std::max(largest, QFontInfo(widget->font()).pixelSize());
        }
        return largest;
    }
    template <typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    std::unique_ptr<SimulatedTester> sim;
    MainWindow *window = nullptr;
};

// Each run starts as a first run: no program remembered.
void tst_ResultsDevice::init()
{
    QSettings("Torvelin", "Torvelin").clear();
}

void tst_ResultsDevice::cleanup()
{
    delete window;
    window = nullptr;
    sim.reset();
    qunsetenv("TORVELIN_PORT");
}

void tst_ResultsDevice::openAndConnect()
{
    window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    child<QAction>("actionConnect")->trigger();
    QVERIFY(!child<QAction>("actionConnect")->isEnabled());
}

void tst_ResultsDevice::storedProgramJudgesTheTestLiveAndIsRememberedAtConnect()
{
    sim = std::make_unique<SimulatedTester>(QStringList{"--no-pacing", "--spring-rate", SpringRate});
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    qputenv("TORVELIN_PORT", sim->devicePath().toLocal8Bit());
    openAndConnect();
    QVERIFY(programText().contains("No program"));
    QVERIFY(band()->isHidden()); // no program, no verdict

    whenModalOpens(this, [](QWidget *modal) {
        auto *input = qobject_cast<QInputDialog *>(modal);
        QVERIFY(input);
        input->setIntValue(1);
        input->accept();
    });
    child<QAction>("actionMachineProgram")->trigger();
    QVERIFY2(programText().contains("machine program 1"), qPrintable(programText()));
    QCOMPARE(child<QTableWidget>("resultsTable")->rowCount(), ProgramPoints);
    QCOMPARE(cell(0, 3), QStringLiteral("9.500 … 10.500"));
    QCOMPARE(cell(0, 4), QStringLiteral("Not reached"));
    QCOMPARE(verdict(), QString()); // no curves, nothing judged
    QCOMPARE(band()->state(), VerdictBand::State::Ready);
    int beeps = 0;
    VerdictSound::setBeeper([&beeps] { ++beeps; });
    child<QLineEdit>("serialNumberEdit")->setText(QStringLiteral("SN-0042"));

    child<QAction>("actionChart")->trigger();
    QTRY_VERIFY(child<QLineEdit>("speedEdit"));
    child<QLineEdit>("speedEdit")->setText(QString::number(TestSpeed));
    child<QLineEdit>("distanceEdit")->setText(TestDistance);
    QTest::mouseClick(child<QPushButton>("okBtn"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("startBtn"), Qt::LeftButton);

    // The first point is judged while the forward stroke runs on; the
    // test's verdict waits for its end.
    QTRY_COMPARE_WITH_TIMEOUT(cell(0, 4), QStringLiteral("Pass"), TestRunTimeoutMs);
    QVERIFY(sim->state("phase") != QStringLiteral("idle"));
    QCOMPARE(verdict(), QStringLiteral("Testing…"));
    QCOMPARE(band()->text(), QStringLiteral("Testing… · SN-0042"));
    QCOMPARE(cell(2, 4), QStringLiteral("–"));
    QTRY_COMPARE_WITH_TIMEOUT(sim->state("phase"), QStringLiteral("idle"), TestRunTimeoutMs);
    QTRY_COMPARE(sim->state("handed"), sim->state("total"));
    QCustomPlot *plot = child<QCustomPlot>("userPlot");
    QTRY_COMPARE(plot->graph(0)->dataCount() + plot->graph(1)->dataCount(),
                 sim->state("total").toInt());
    QTRY_VERIFY(!child<QLabel>("resultsFiguresLabel")->text().contains("Hysteresis: –"));
    QCOMPARE(cell(1, 2), QStringLiteral("20.400"));
    QCOMPARE(cell(1, 4), QStringLiteral("Pass"));
    QTRY_COMPARE_WITH_TIMEOUT(verdict(), QStringLiteral("FAIL"), TestRunTimeoutMs);
    QCOMPARE(cell(2, 4), QStringLiteral("Not reached"));
    // Across the room: the spring's own serial number (the bar has counted
    // on), red, the largest text of the window, and three beeps.
    QCOMPARE(band()->text(), QStringLiteral("FAIL · SN-0042"));
    QCOMPARE(band()->palette().color(QPalette::Window), QColor(0xc6, 0x28, 0x28));
    QVERIFY(band()->height() >= VerdictBand::MinimumHeight);
    QVERIFY(band()->width() >= plot->width());
    QVERIFY(QFontInfo(band()->font()).pixelSize() > largestOtherText());
    QTRY_COMPARE(beeps, VerdictSound::FailBeeps);
    QCOMPARE(plot->itemCount(), ProgramPoints * ItemsPerPoint);

    QTest::mouseClick(child<QPushButton>("refreshBtn"), Qt::LeftButton);
    QTRY_COMPARE(cell(0, 4), QStringLiteral("Not reached"));
    QCOMPARE(verdict(), QString());
    VerdictSound::setBeeper([] {});

    // The next start of the program reads the same stored program at Connect.
    QCOMPARE(QSettings("Torvelin", "Torvelin").value("program/source").toString(),
             QStringLiteral("machine"));
    delete window;
    window = nullptr;
    openAndConnect();
    QVERIFY2(programText().contains("machine program 1"), qPrintable(programText()));
}

void tst_ResultsDevice::startWithMachineProgram(const QStringList &arguments, int number)
{
    sim = std::make_unique<SimulatedTester>(arguments);
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    qputenv("TORVELIN_PORT", sim->devicePath().toLocal8Bit());
    openAndConnect();
    whenModalOpens(this, [number](QWidget *modal) {
        auto *input = qobject_cast<QInputDialog *>(modal);
        QVERIFY(input);
        input->setIntValue(number);
        input->accept();
    });
    child<QAction>("actionMachineProgram")->trigger();
}

// Springs one after another: the machine's return ends each test, and the
// next Start judges the next spring on a clean plot. A weak spring after a
// good one is its own FAIL, on screen and in the beep.
void tst_ResultsDevice::eachSpringTakesOneStartAndIsJudgedAlone()
{
    startWithMachineProgram({"--no-pacing", "--spring-rate", SpringRate}, 1);
    child<QAction>("actionChart")->trigger();
    QTRY_VERIFY(child<QLineEdit>("speedEdit"));
    child<QLineEdit>("speedEdit")->setText(QString::number(TestSpeed));
    child<QLineEdit>("distanceEdit")->setText(QStringLiteral("26"));
    QTest::mouseClick(child<QPushButton>("okBtn"), Qt::LeftButton);
    QList<bool> beeps;
    VerdictSound::setBeeper([&beeps] { beeps << true; });

    auto *start = child<QPushButton>("startBtn");
    QCustomPlot *plot = child<QCustomPlot>("userPlot");
    auto runOneSpring = [&](const QString &expected) {
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(!start->isEnabled());
        QCOMPARE(plot->graph(0)->dataCount() + plot->graph(1)->dataCount(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), TestRunTimeoutMs);
        QCOMPARE(verdict(), expected);
        QCOMPARE(plot->graph(0)->dataCount() + plot->graph(1)->dataCount(),
                 sim->state("total").toInt());
    };
    runOneSpring(QStringLiteral("PASS"));
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE(beeps.size(), 1);
    QVERIFY(sim->command("set spring-rate 1"));
    beeps.clear();
    runOneSpring(QStringLiteral("FAIL"));
    QTRY_COMPARE(beeps.size(), VerdictSound::FailBeeps);

    // Sound switched off, and so it stays for the next run: the verdict
    // stands silent (its first beep would have come as the test ended).
    child<QAction>("actionVerdictSound")->setChecked(false);
    QCOMPARE(QSettings("Torvelin", "Torvelin").value("Verdict/sound").toBool(), false);
    beeps.clear();
    runOneSpring(QStringLiteral("FAIL"));
    QVERIFY(beeps.isEmpty());
    VerdictSound::setBeeper([] {});
}

// Stored program 2 runs at 100 mm/min with points to 25 mm: Start needs no
// Chart, sends the program's speed and 26 mm, and the axes show the whole
// stroke and every limit from the start.
void tst_ResultsDevice::chosenProgramSetsTheStartAndThePlotUntilChartOverrides()
{
    startWithMachineProgram({"--no-pacing"}, 2);
    QVERIFY2(child<QLabel>("testSettingsLabel")->text().contains("26.00 mm · 100 mm/min"),
             qPrintable(child<QLabel>("testSettingsLabel")->text()));
    auto *start = child<QPushButton>("startBtn");
    QVERIFY(start->isEnabled());
    auto startCommand = [this] {
        QString lastWrite;
        return sim->command("last-write", &lastWrite) ? lastWrite.split(QLatin1Char(' ')) : QStringList();
    };
    QTest::mouseClick(start, Qt::LeftButton);
    const QStringList sent = startCommand();
    QCOMPARE(sent.value(0), QStringLiteral("3"));
    QCOMPARE(sent.value(4), QStringLiteral("100"));
    QCustomPlot *plot = child<QCustomPlot>("userPlot");
    plot->replot();
    // Point 5 of program 2: 100 N, its upper limit 125 N.
    QVERIFY(plot->xAxis->range().contains(0) && plot->xAxis->range().contains(26));
    QVERIFY2(plot->yAxis->range().contains(0) && plot->yAxis->range().contains(125),
             qPrintable(QStringLiteral("%1 … %2").arg(plot->yAxis->range().lower).arg(plot->yAxis->range().upper)));
    QVERIFY(plot->yAxis->range().upper < 200);
    QTest::mouseClick(child<QPushButton>("stopBtn"), Qt::LeftButton);

    // Chart wins while the program stays chosen, and keeps what it was given.
    child<QAction>("actionChart")->trigger();
    QTRY_VERIFY(child<QLineEdit>("speedEdit"));
    QCOMPARE(child<QLineEdit>("speedEdit")->text(), QStringLiteral("100"));
    QCOMPARE(child<QLineEdit>("distanceEdit")->text(), QStringLiteral("26.00"));
    child<QLineEdit>("speedEdit")->setText(QStringLiteral("500"));
    child<QLineEdit>("distanceEdit")->setText(QStringLiteral("12"));
    QTest::mouseClick(child<QPushButton>("okBtn"), Qt::LeftButton);
    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(startCommand().value(4), QStringLiteral("500"));
    QTest::mouseClick(child<QPushButton>("stopBtn"), Qt::LeftButton);
    child<QAction>("actionChart")->trigger();
    QTRY_VERIFY(child<QLineEdit>("speedEdit"));
    QCOMPARE(child<QLineEdit>("speedEdit")->text(), QStringLiteral("500"));
    QCOMPARE(child<QLineEdit>("distanceEdit")->text(), QStringLiteral("12.00"));
    QTest::mouseClick(child<QPushButton>("cancelBtn"), Qt::LeftButton);
}

QTEST_MAIN(tst_ResultsDevice)
#include "tst_results_device.moc"
