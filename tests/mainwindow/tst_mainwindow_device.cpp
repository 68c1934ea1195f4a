// The main window driving the simulated tester over a virtual serial line:
// connection flow, the test commands, the dialogs that reach the worker,
// closing while a test runs, and the Chinese interface.
#include "app/langfile.h"
#include "app/translation.h"
#include "numbers/numbertext.h"
#include "dialogs/chartstart.h"
#include "dialogs/serialportlist.h"
#include "dialogs/serialsettingdialog.h"
#include "widgets/filedialogs.h"
#include "mainwindow/mainwindow.h"
#include "parameters/machineparameter.h"
#include "support/modalwidget.h"
#include "support/simulatedtester.h"

#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>

#include <qcustomplot.h>

#include <functional>
#include <memory>

namespace {

// Longer than two of the worker's 200 ms polling periods: a loop that still
// ran would show itself in this time.
constexpr int QuietWindowMs = 600;
// A whole short test (2 mm there and back at 500 mm/min) plus slack.
constexpr int TestRunTimeoutMs = 10000;
constexpr int ShortSpeed = 500;
const char ShortDistance[] = "2";
// 2 mm at the simulator's 1/32 mm point step: 64 steps, 65 points a stroke.
constexpr int PointsPerShortStroke = 65;

// Expected text of a line edit or label, by the widget's name.
struct Cell
{
    const char *name;
    QString text;
};

} // namespace

class tst_MainWindowDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void connectShowsLineSettingsAndSwapsActions();
    void connectAppliesMachineType_data();
    void connectAppliesMachineType();
    void connectTakesForceDecimalsBelowFive_data();
    void connectTakesForceDecimalsBelowFive();
    void liveLabelsFillAfterConnect();

    void disconnectShowsCloseAndSwapsActionsBack();
    void disconnectStopsTheWorker();
    void connectWorksAgainAfterDisconnect();

    void chartEnablesTestButtonsOnlyWhenConnected();
    void startDrawsForwardThenReturnCurve();
    void savedTestCurvesLoadBackAsWritten();
    void stopReturnsToLiveValues();
    void disconnectLeavesTestButtonsAndStartSendsNothing();
    void chartRoundTripsPullAbsoluteAndCancelKeepsIt();
    void startWaitsForStopOrDisconnect();
    void readoutFollowsTheCurveAndTheEndIsAnnounced();
    void chartKeepsASpeedAbove500FromTheMachine();
    void f5StartsAndEscStopsWhereverTheFocusIs();

    void settingWhileConnectedWarnsAndOpensNoDialog();
    void settingAppliedWhileDisconnectedChangesNextConnect();
    void settingAppliedUnchangedKeepsTheTestersLine();

    void machineParameterShowsStoredTestOne();
    void machineParameterDataTabShowsFirstRecord();
    void machineParameterWhileDisconnectedShowsEmptyPageAndAsksNothing();

    void closingDuringTestStopsAndWaitsForWorker();

    void chineseLangIniGivesChineseInterface();
    void englishLangIniOverridesChineseLocale();

private:
    bool startTester(const QStringList &arguments);
    void openWindow();
    void startShortTest(const QStringList &arguments);
    void connectWindow(SimulatedTester *tester = nullptr);
    void disconnectWindow();
    chartStart *openChart();
    void acceptChart(int speed, const QString &distance);
    static void fillAndAccept(chartStart *dialog, int speed, const QString &distance);
    QMap<QString, int> stats(SimulatedTester *tester = nullptr);
    void expectCells(QWidget *page, const QList<Cell> &cells);

    QString status() const { return window->statusBar()->currentMessage(); }
    QCustomPlot *plot() const { return child<QCustomPlot>("userPlot"); }
    QString forceText() const { return child<QLabel>("forceLabel")->text(); }
    template <typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    void whenModalOpens(std::function<void(QWidget *)> answer)
    {
        ::whenModalOpens(this, std::move(answer));
    }
    // True when `value` keeps its first reading for `ms`; false at the
    // first change.
    template <typename Value> static bool staysUnchanged(Value value, int ms)
    {
        const auto first = value();
        QElapsedTimer watch;
        watch.start();
        while (watch.elapsed() < ms) {
            QTest::qWait(20);
            if (value() != first)
                return false;
        }
        return true;
    }

    std::unique_ptr<SimulatedTester> sim;
    MainWindow *window = nullptr;
};

void tst_MainWindowDevice::init()
{
    forceDecimals = 3;
    machineParameter::resetLastDataTest();
}

void tst_MainWindowDevice::cleanup()
{
    delete window;
    window = nullptr;
    sim.reset();
    qunsetenv("TORVELIN_PORT");
    const auto translators = qApp->findChildren<QTranslator *>();
    for (QTranslator *translator : translators) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    LangFile::remove();
    QLocale::setDefault(QLocale::system());
}

bool tst_MainWindowDevice::startTester(const QStringList &arguments)
{
    sim = std::make_unique<SimulatedTester>(arguments);
    if (!sim->start()) {
        qWarning("%s", qPrintable(sim->errorString()));
        return false;
    }
    qputenv("TORVELIN_PORT", sim->devicePath().toLocal8Bit());
    return true;
}

// The worker takes its port from TORVELIN_PORT when the window builds it.
void tst_MainWindowDevice::openWindow()
{
    window = new MainWindow;
    window->resize(800, 600);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

// A tester with `arguments`, the window connected to it, and the short test
// started with Start.
void tst_MainWindowDevice::startShortTest(const QStringList &arguments)
{
    QVERIFY(startTester(arguments));
    openWindow();
    connectWindow();
    acceptChart(ShortSpeed, ShortDistance);
    QTest::mouseClick(child<QPushButton>("startBtn"), Qt::LeftButton);
}

// Returns once the worker's loop has made its first live read, so that each
// test goes on from a running loop.
void tst_MainWindowDevice::connectWindow(SimulatedTester *tester)
{
    const int liveReads = stats(tester).value("fc04");
    child<QAction>("actionConnect")->trigger();
    QVERIFY2(!child<QAction>("actionConnect")->isEnabled(), qPrintable(status()));
    // Connect itself reads the machine type and the force decimals.
    QTRY_VERIFY(stats(tester).value("fc04") > liveReads + 2);
}

void tst_MainWindowDevice::disconnectWindow()
{
    child<QAction>("actionDisconnect")->trigger();
    QVERIFY(child<QAction>("actionConnect")->isEnabled());
    // Readings the loop sent before it ended are still queued.
    QCoreApplication::processEvents();
}

// The Chart command shows its dialog window-modal with show(): it is open
// when the trigger returns. Closed ones linger until their deferred delete.
chartStart *tst_MainWindowDevice::openChart()
{
    child<QAction>("actionChart")->trigger();
    const auto dialogs = window->findChildren<chartStart *>();
    for (chartStart *dialog : dialogs) {
        if (dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

void tst_MainWindowDevice::acceptChart(int speed, const QString &distance)
{
    chartStart *dialog = openChart();
    QVERIFY(dialog);
    fillAndAccept(dialog, speed, distance);
}

void tst_MainWindowDevice::fillAndAccept(chartStart *dialog, int speed, const QString &distance)
{
    auto *speedEdit = dialog->findChild<QLineEdit *>("speedEdit");
    auto *distanceEdit = dialog->findChild<QLineEdit *>("distanceEdit");
    speedEdit->clear();
    QTest::keyClicks(speedEdit, QString::number(speed));
    distanceEdit->clear();
    QTest::keyClicks(distanceEdit, distance);
    QTest::mouseClick(dialog->findChild<QPushButton *>("okBtn"), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
}

// The simulator's transaction counters: fc03, fc04, fc16, other, rejected.
QMap<QString, int> tst_MainWindowDevice::stats(SimulatedTester *tester)
{
    return (tester ? tester : sim.get())->stats();
}

void tst_MainWindowDevice::expectCells(QWidget *page, const QList<Cell> &cells)
{
    for (const Cell &cell : cells) {
        QString shown;
        if (auto *edit = page->findChild<QLineEdit *>(QLatin1String(cell.name)))
            shown = edit->text();
        else if (auto *label = page->findChild<QLabel *>(QLatin1String(cell.name)))
            shown = label->text();
        else
            QFAIL(cell.name);
        QVERIFY2(shown == cell.text,
                 qPrintable(QStringLiteral("%1: %2, expected %3").arg(cell.name, shown, cell.text)));
    }
}

void tst_MainWindowDevice::connectShowsLineSettingsAndSwapsActions()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    connectWindow();
    QCOMPARE(status(), sim->devicePath() + QStringLiteral(",115200,8,N,1,success"));
    QVERIFY(!child<QAction>("actionConnect")->isEnabled());
    QVERIFY(child<QAction>("actionDisconnect")->isEnabled());
    QCOMPARE(child<QLabel>("typeLabel")->text(), QStringLiteral("Type-500"));
    QCOMPARE(plot()->yAxis->range(), QCPRange(-500, 500));
}

void tst_MainWindowDevice::connectAppliesMachineType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("label");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    // 0 is an empty range, which the plot refuses.
    QTest::newRow("0 keeps label and axis") << 0 << "Type" << -300.0 << 500.0;
    QTest::newRow("1 is the smallest shown") << 1 << "Type-1" << -1.0 << 1.0;
    QTest::newRow("5000 is the largest shown") << 5000 << "Type-5000" << -5000.0 << 5000.0;
    QTest::newRow("5001 sets the axis only") << 5001 << "Type" << -5001.0 << 5001.0;
}

void tst_MainWindowDevice::connectAppliesMachineType()
{
    QFETCH(int, type);
    QVERIFY(startTester({"--no-pacing", "--type", QString::number(type)}));
    openWindow();
    connectWindow();
    QFETCH(QString, label);
    QFETCH(double, lower);
    QFETCH(double, upper);
    QCOMPARE(child<QLabel>("typeLabel")->text(), label);
    QCOMPARE(plot()->yAxis->range(), QCPRange(lower, upper));
}

void tst_MainWindowDevice::connectTakesForceDecimalsBelowFive_data()
{
    QTest::addColumn<int>("reported");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("used");
    QTest::newRow("4 is taken") << 4 << QStringList() << 4;
    QTest::newRow("0 is taken") << 0 << QStringList() << 0;
    QTest::newRow("5 keeps 3") << 5 << QStringList() << 3;
    // A failed read is no count of 0.
    QTest::newRow("unanswered keeps 3") << 0 << QStringList{"--fault", "silent-input"} << 3;
}

void tst_MainWindowDevice::connectTakesForceDecimalsBelowFive()
{
    QFETCH(int, reported);
    QFETCH(QStringList, faults);
    QFETCH(int, used);
    QVERIFY(startTester(QStringList{"--no-pacing", "--decimals", QString::number(reported)} + faults));
    openWindow();
    connectWindow();
    QVERIFY(status().endsWith(QStringLiteral(",success")));
    QCOMPARE(forceDecimals, used);
    // The live readout follows at once.
    const QString fraction = used > 0 ? QStringLiteral("\\.\\d{%1}").arg(used) : QString();
    const QRegularExpression shape(QStringLiteral("^-?\\d+%1 N$").arg(fraction));
    QTRY_VERIFY2(shape.match(forceText()).hasMatch(), qPrintable(forceText()));
}

void tst_MainWindowDevice::liveLabelsFillAfterConnect()
{
    QVERIFY(startTester({"--no-pacing", "--numbered"}));
    openWindow();
    connectWindow();
    // Numbered: the live force counts the machine's live reads.
    QTRY_VERIFY(forceText().endsWith(QStringLiteral(".000 N")));
    QCOMPARE(child<QLabel>("distanceLabel")->text(), QStringLiteral("0.00 mm"));
    const QString first = forceText();
    QTRY_VERIFY(forceText() != first);
}

void tst_MainWindowDevice::disconnectShowsCloseAndSwapsActionsBack()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    connectWindow();
    disconnectWindow();
    QCOMPARE(status(), sim->devicePath() + QStringLiteral(" close"));
    QVERIFY(child<QAction>("actionConnect")->isEnabled());
    QVERIFY(!child<QAction>("actionDisconnect")->isEnabled());
    // The readout and the type stay as they were.
    QCOMPARE(child<QLabel>("typeLabel")->text(), QStringLiteral("Type-500"));
}

void tst_MainWindowDevice::disconnectStopsTheWorker()
{
    QVERIFY(startTester({"--no-pacing", "--numbered"}));
    openWindow();
    connectWindow();
    QTRY_VERIFY(!forceText().isEmpty());
    disconnectWindow();
    QVERIFY(!forceText().isEmpty());
    QVERIFY(staysUnchanged([this] { return forceText(); }, QuietWindowMs));
    QVERIFY(staysUnchanged([this] { return stats(); }, QuietWindowMs));
}

void tst_MainWindowDevice::connectWorksAgainAfterDisconnect()
{
    QVERIFY(startTester({"--no-pacing", "--numbered"}));
    openWindow();
    connectWindow();
    QTRY_VERIFY(!forceText().isEmpty());
    disconnectWindow();
    const QString stopped = forceText();
    connectWindow();
    QCOMPARE(status(), sim->devicePath() + QStringLiteral(",115200,8,N,1,success"));
    QVERIFY(child<QAction>("actionDisconnect")->isEnabled());
    QTRY_VERIFY(forceText() != stopped);
}

void tst_MainWindowDevice::chartEnablesTestButtonsOnlyWhenConnected()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    acceptChart(ShortSpeed, ShortDistance);
    for (const char *button : {"startBtn", "stopBtn", "refreshBtn"})
        QVERIFY2(!child<QPushButton>(button)->isEnabled(), button);
    connectWindow();
    // Connecting alone enables nothing; accepting the settings again does.
    QVERIFY(!child<QPushButton>("startBtn")->isEnabled());
    acceptChart(ShortSpeed, ShortDistance);
    for (const char *button : {"startBtn", "stopBtn", "refreshBtn"})
        QVERIFY2(child<QPushButton>(button)->isEnabled(), button);
}

void tst_MainWindowDevice::startDrawsForwardThenReturnCurve()
{
    // Numbered: each curve point's force is its place in the test, 1 first.
    startShortTest({"--no-pacing", "--numbered"});
    if (QTest::currentTestFailed())
        return;

    QTRY_COMPARE_WITH_TIMEOUT(sim->state("phase"), QStringLiteral("idle"), TestRunTimeoutMs);
    QTRY_COMPARE(sim->state("handed"), sim->state("total"));
    QCOMPARE(sim->state("total").toInt(), 2 * PointsPerShortStroke);
    QTRY_COMPARE(plot()->graph(0)->dataCount(), PointsPerShortStroke);
    QTRY_COMPARE(plot()->graph(1)->dataCount(), PointsPerShortStroke);

    // The forward stroke's points are the first 65 handed out, in order of
    // distance; the return stroke's the last 65, back from 2 mm to 0.
    const QCPGraphDataContainer &forward = *plot()->graph(0)->data();
    const QCPGraphDataContainer &back = *plot()->graph(1)->data();
    for (int i = 0; i < PointsPerShortStroke; ++i) {
        QCOMPARE(forward.at(i)->value, double(i + 1));
        QCOMPARE(back.at(i)->value, double(2 * PointsPerShortStroke - i));
    }
    QCOMPARE(forward.at(0)->key, 0.0);
    QCOMPARE(forward.at(PointsPerShortStroke - 1)->key, 2.0);
    QCOMPARE(back.at(0)->key, 0.0);
    QCOMPARE(back.at(PointsPerShortStroke - 1)->key, 2.0);
}

void tst_MainWindowDevice::savedTestCurvesLoadBackAsWritten()
{
    startShortTest({"--no-pacing"});
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE_WITH_TIMEOUT(sim->state("phase"), QStringLiteral("idle"), TestRunTimeoutMs);
    QTRY_COMPARE(sim->state("handed"), sim->state("total"));
    QTRY_COMPARE(plot()->graph(1)->dataCount(), PointsPerShortStroke);
    QTest::mouseClick(child<QPushButton>("stopBtn"), Qt::LeftButton);

    // What the file holds: distances with 2 decimals, forces with the
    // force decimals, read back through single precision.
    QVector<QCPGraphData> expected[2];
    for (int g = 0; g < 2; ++g) {
        for (auto it = plot()->graph(g)->data()->constBegin(); it != plot()->graph(g)->data()->constEnd(); ++it)
            expected[g] << QCPGraphData(NumberText::toFloat(NumberText::distance(it->key)),
                                        NumberText::toFloat(NumberText::force(it->value)));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("test.txt"));
    auto answer = [path](QWidget *, const QString &, const QString &, const QString &) { return path; };
    FileDialogs::getSaveFileName = answer;
    FileDialogs::getOpenFileName = answer;
    child<QAction>("actionSave")->trigger();
    QTest::mouseClick(child<QPushButton>("refreshBtn"), Qt::LeftButton);
    QCOMPARE(plot()->graph(0)->dataCount(), 0);
    child<QAction>("actionOpen")->trigger();
    FileDialogs::restoreDefaults();

    for (int g = 0; g < 2; ++g) {
        QCOMPARE(plot()->graph(g)->dataCount(), expected[g].size());
        int i = 0;
        for (auto it = plot()->graph(g)->data()->constBegin(); it != plot()->graph(g)->data()->constEnd(); ++it, ++i) {
            QCOMPARE(it->key, expected[g][i].key);
            QCOMPARE(it->value, expected[g][i].value);
        }
    }
}

void tst_MainWindowDevice::stopReturnsToLiveValues()
{
    startShortTest({"--no-pacing", "--numbered"});
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY(plot()->graph(0)->dataCount() > 0);
    QCoreApplication::processEvents();
    const QString duringTest = forceText();
    const int liveReads = stats().value("fc04");

    QTest::mouseClick(child<QPushButton>("stopBtn"), Qt::LeftButton);
    QString lastWrite;
    QVERIFY(sim->command("last-write", &lastWrite));
    QCOMPARE(lastWrite.section(QLatin1Char(' '), 0, 0), QStringLiteral("4"));
    QTRY_VERIFY(stats().value("fc04") > liveReads);
    QTRY_VERIFY(forceText() != duringTest);
    // The loop has left curve mode: no more curve block reads.
    QVERIFY(staysUnchanged([this] { return stats().value("fc03"); }, QuietWindowMs));
}

void tst_MainWindowDevice::disconnectLeavesTestButtonsAndStartSendsNothing()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    connectWindow();
    acceptChart(ShortSpeed, ShortDistance);
    disconnectWindow();
    for (const char *button : {"startBtn", "stopBtn", "refreshBtn"})
        QVERIFY2(child<QPushButton>(button)->isEnabled(), button);

    const QMap<QString, int> before = stats();
    QTest::mouseClick(child<QPushButton>("startBtn"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("stopBtn"), Qt::LeftButton);
    QCOMPARE(stats(), before);
    QCOMPARE(sim->state("phase"), QStringLiteral("idle"));
}

void tst_MainWindowDevice::chartRoundTripsPullAbsoluteAndCancelKeepsIt()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    connectWindow();

    chartStart *dialog = openChart();
    QVERIFY(dialog);
    dialog->findChild<QComboBox *>("comboBox")->setCurrentIndex(1);
    QTest::mouseClick(dialog->findChild<QRadioButton *>("absouteRBtn"), Qt::LeftButton);
    fillAndAccept(dialog, ShortSpeed, ShortDistance);

    dialog = openChart();
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QComboBox *>("comboBox")->currentText(), QStringLiteral("PULL"));
    QVERIFY(dialog->findChild<QRadioButton *>("absouteRBtn")->isChecked());
    QCOMPARE(dialog->findChild<QLineEdit *>("speedEdit")->text(), QStringLiteral("500"));
    QCOMPARE(dialog->findChild<QLineEdit *>("distanceEdit")->text(), QStringLiteral("2.00"));
    dialog->findChild<QComboBox *>("comboBox")->setCurrentIndex(0);
    dialog->findChild<QLineEdit *>("speedEdit")->setText(QStringLiteral("7"));
    QTest::mouseClick(dialog->findChild<QPushButton *>("cancelBtn"), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());

    dialog = openChart();
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QComboBox *>("comboBox")->currentText(), QStringLiteral("PULL"));
    QCOMPARE(dialog->findChild<QLineEdit *>("speedEdit")->text(), QStringLiteral("500"));
    QTest::mouseClick(dialog->findChild<QPushButton *>("cancelBtn"), Qt::LeftButton);

    // Start sends what was accepted: code 3, marker 5, PULL, absolute,
    // 500 mm/min, 2.0 as a word-swapped float (0x40000000).
    QTest::mouseClick(child<QPushButton>("startBtn"), Qt::LeftButton);
    QString lastWrite;
    QVERIFY(sim->command("last-write", &lastWrite));
    QCOMPARE(lastWrite, QStringLiteral("3 5 1 1 500 0 16384"));
}

void tst_MainWindowDevice::chartKeepsASpeedAbove500FromTheMachine()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    connectWindow();
    chartStart *dialog = openChart();
    QVERIFY(dialog);
    auto *speedEdit = dialog->findChild<QLineEdit *>("speedEdit");
    const QColor normal = speedEdit->palette().color(QPalette::Base);
    speedEdit->clear();
    QTest::keyClicks(speedEdit, QStringLiteral("999"));
    QTest::mouseClick(dialog->findChild<QPushButton *>("okBtn"), Qt::LeftButton);
    // Refused where it was typed: open, the field marked, nothing accepted.
    QVERIFY(dialog->isVisible());
    QVERIFY(speedEdit->palette().color(QPalette::Base) != normal);
    QVERIFY(!child<QPushButton>("startBtn")->isEnabled());

    speedEdit->clear();
    QTest::keyClicks(speedEdit, QStringLiteral("500"));
    QCOMPARE(speedEdit->palette().color(QPalette::Base), normal);
    QTest::mouseClick(dialog->findChild<QPushButton *>("okBtn"), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QTest::mouseClick(child<QPushButton>("startBtn"), Qt::LeftButton);
    QString lastWrite;
    QVERIFY(sim->command("last-write", &lastWrite));
    QCOMPARE(lastWrite.section(QLatin1Char(' '), 4, 4), QStringLiteral("500"));
}

void tst_MainWindowDevice::settingWhileConnectedWarnsAndOpensNoDialog()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    connectWindow();
    QString title, text;
    bool serialDialogSeen = true;
    whenModalOpens([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        serialDialogSeen = !window->findChildren<SerialSettingDialog *>().isEmpty();
        box->accept();
    });
    child<QAction>("actionSetting")->trigger();
    QCOMPARE(title, QStringLiteral("Waring"));
    QCOMPARE(text, QStringLiteral("Please close the serial port!"));
    QVERIFY(!serialDialogSeen);
    QVERIFY(!window->findChild<QWidget *>("serialSettingDialog"));
    // Still connected to the same line.
    QVERIFY(child<QAction>("actionDisconnect")->isEnabled());
    QCOMPARE(status(), sim->devicePath() + QStringLiteral(",115200,8,N,1,success"));
}

void tst_MainWindowDevice::settingAppliedWhileDisconnectedChangesNextConnect()
{
    QVERIFY(startTester({"--no-pacing"}));
    SimulatedTester other({"--no-pacing"});
    QVERIFY2(other.start(), qPrintable(other.errorString()));
    openWindow();
    connectWindow();
    disconnectWindow();

    // The dialog lists the system's ports; the other simulated line is
    // offered among them as a port the system would list.
    QString dialogName;
    whenModalOpens([&](QWidget *modal) {
        dialogName = modal->objectName();
        auto *ports = modal->findChild<QComboBox *>("serialPortInfoListBox");
        ports->addItem(QStringLiteral("ttySIM"),
                       SerialPortList::fields(QStringLiteral("ttySIM"), QString(), QString(),
                                              QString(), other.devicePath(), 0, 0));
        ports->setCurrentIndex(ports->count() - 1);
        modal->findChild<QComboBox *>("baudRateBox")->setCurrentText(QStringLiteral("9600"));
        modal->findChild<QComboBox *>("dataBitsBox")->setCurrentText(QStringLiteral("7"));
        modal->findChild<QComboBox *>("parityBox")->setCurrentText(QStringLiteral("even"));
        modal->findChild<QComboBox *>("stopBitsBox")->setCurrentText(QStringLiteral("2"));
        QTest::mouseClick(modal->findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    });
    child<QAction>("actionSetting")->trigger();
    QCOMPARE(dialogName, QStringLiteral("serialSettingDialog"));

    const QMap<QString, int> firstLine = stats();
    connectWindow(&other);
    QCOMPARE(status(), other.devicePath() + QStringLiteral(",9600,7,E,2,success"));
    QCOMPARE(stats(), firstLine);
    disconnectWindow();
}

// TORVELIN_PORT names a device no system list holds.
void tst_MainWindowDevice::settingAppliedUnchangedKeepsTheTestersLine()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    QString shown;
    whenModalOpens([&](QWidget *modal) {
        shown = modal->findChild<QComboBox *>("serialPortInfoListBox")->currentText();
        QTest::mouseClick(modal->findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    });
    child<QAction>("actionSetting")->trigger();
    QCOMPARE(shown, sim->devicePath());
    connectWindow();
    QCOMPARE(status(), sim->devicePath() + QStringLiteral(",115200,8,N,1,success"));
}

void tst_MainWindowDevice::machineParameterShowsStoredTestOne()
{
    QVERIFY(startTester({"--no-pacing", "--decimals", "2"}));
    openWindow();
    connectWindow();
    bool opened = false;
    whenModalOpens([&](QWidget *modal) {
        opened = true;
        QCOMPARE(modal->objectName(), QStringLiteral("machineParameter"));
        // Stored test 1 of 5: 50 mm/min, 2 N/mm, points every 5 mm with
        // 5 % tolerance on the first; forces with the machine's 2 decimals.
        expectCells(modal, {{"testNumEdit", "1/5"},
                            {"repeatNumEdit", "1"},
                            {"speedEdit", "50"},
                            {"force1stEdit", "10.00"},
                            {"distance1stEdit", "5.00"},
                            {"lower1stEdit", "9.50"},
                            {"upper1stEdit", "10.50"},
                            {"tol1stEdit", "5"},
                            {"force5thEdit", "50.00"},
                            {"distance5thEdit", "25.00"},
                            {"springRateEdit", "2.00"},
                            {"freeLengthEdit", "50.00"}});
        qobject_cast<QDialog *>(modal)->reject();
    });
    child<QAction>("actionmachine_parameter")->trigger();
    QVERIFY(opened);
}

void tst_MainWindowDevice::machineParameterDataTabShowsFirstRecord()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    connectWindow();
    bool opened = false;
    whenModalOpens([&](QWidget *modal) {
        opened = true;
        QTabBar *bar = modal->findChild<QTabWidget *>("tabWidget")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(1).center());
        // Group 1 of 3, record 1 of 2: 2.25 N/mm, rising by 0.25 N a point.
        expectCells(modal, {{"dataGroupNumEdit", "1/3"},
                            {"dataTestNumLabel", "1/2"},
                            {"dataForce1stLabel", "11.250"},
                            {"dataDistance1stLabel", "5.00"},
                            {"dataForce2ndLabel", "22.750"},
                            {"dataDistance5thLabel", "25.00"}});
        qobject_cast<QDialog *>(modal)->reject();
    });
    child<QAction>("actionmachine_parameter")->trigger();
    QVERIFY(opened);
}

void tst_MainWindowDevice::machineParameterWhileDisconnectedShowsEmptyPageAndAsksNothing()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    connectWindow();
    disconnectWindow();
    const QMap<QString, int> before = stats();
    bool opened = false;
    whenModalOpens([&](QWidget *modal) {
        opened = true;
        expectCells(modal, {{"testNumEdit", ""}, {"force1stEdit", ""}, {"distance1stEdit", ""}});
        QTabBar *bar = modal->findChild<QTabWidget *>("tabWidget")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(1).center());
        expectCells(modal, {{"dataGroupNumEdit", ""}, {"dataForce1stLabel", ""}});
        qobject_cast<QDialog *>(modal)->reject();
    });
    child<QAction>("actionmachine_parameter")->trigger();
    QVERIFY(opened);
    QCOMPARE(stats(), before);
}

void tst_MainWindowDevice::closingDuringTestStopsAndWaitsForWorker()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    connectWindow();
    // Long enough (2.4 s a stroke) to be running when the window goes.
    acceptChart(ShortSpeed, QStringLiteral("20"));
    QTest::mouseClick(child<QPushButton>("startBtn"), Qt::LeftButton);
    QTRY_VERIFY(plot()->graph(0)->dataCount() > 0);
    QCOMPARE(sim->state("phase"), QStringLiteral("forward"));

    delete window;
    window = nullptr;
    // Points the loop queued for the window before it ended go nowhere.
    QCoreApplication::processEvents();
    QVERIFY(sim->isRunning());
    QVERIFY(staysUnchanged([this] { return stats(); }, QuietWindowMs));
}

void tst_MainWindowDevice::chineseLangIniGivesChineseInterface()
{
    QVERIFY(LangFile::write("Language:2"));
    loadTranslation();
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    QCOMPARE(child<QAction>("actionConnect")->text(), QString::fromUtf8("连接"));
    QCOMPARE(child<QLabel>("typeLabel")->text(), QString::fromUtf8("型号"));
    QCOMPARE(plot()->graph(0)->name(), QString::fromUtf8("进程"));
    connectWindow();
    QCOMPARE(status(), sim->devicePath() + QString::fromUtf8(",115200,8,N,1,连接成功"));
    QCOMPARE(child<QLabel>("typeLabel")->text(), QString::fromUtf8("型号-500"));
}

void tst_MainWindowDevice::englishLangIniOverridesChineseLocale()
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QVERIFY(LangFile::write("Language:1"));
    loadTranslation();
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    QCOMPARE(child<QAction>("actionConnect")->text(), QStringLiteral("Connect"));
    connectWindow();
    QCOMPARE(status(), sim->devicePath() + QStringLiteral(",115200,8,N,1,success"));
    QCOMPARE(child<QLabel>("typeLabel")->text(), QStringLiteral("Type-500"));
}

// A second start command mid-stroke sends the machine on past the set
// distance: Start is refused from Start until Stop or Disconnect.
void tst_MainWindowDevice::startWaitsForStopOrDisconnect()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    connectWindow();
    acceptChart(1, "10");
    auto *start = child<QPushButton>("startBtn");
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(!start->isEnabled());
    const int writes = stats().value("fc16");
    QTest::mouseClick(start, Qt::LeftButton);
    // Settings accepted mid-test do not give Start back either.
    acceptChart(1, "10");
    QVERIFY(!start->isEnabled());
    QCOMPARE(stats().value("fc16"), writes);

    QTest::mouseClick(child<QPushButton>("stopBtn"), Qt::LeftButton);
    QVERIFY(start->isEnabled());
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(!start->isEnabled());
    disconnectWindow();
    QVERIFY(start->isEnabled());
}

void tst_MainWindowDevice::readoutFollowsTheCurveAndTheEndIsAnnounced()
{
    // Numbered: a curve point's force is its place in the test.
    startShortTest({"--no-pacing", "--numbered"});
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE_WITH_TIMEOUT(sim->state("phase"), QStringLiteral("idle"), TestRunTimeoutMs);
    // The last return point is back at the start.
    QTRY_COMPARE(forceText(), QStringLiteral("%1.000 N").arg(2 * PointsPerShortStroke));
    QCOMPARE(child<QLabel>("distanceLabel")->text(), QStringLiteral("0.00 mm"));
    // The machine is back: the test ends by itself, as a Stop would.
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("The test has ended. Start tests the next spring."),
                              TestRunTimeoutMs);
    QVERIFY(child<QPushButton>("startBtn")->isEnabled());
    QString lastWrite;
    QVERIFY(sim->command("last-write", &lastWrite));
    QCOMPARE(lastWrite.section(QLatin1Char(' '), 0, 0), QStringLiteral("4"));
    QTRY_VERIFY(forceText() != QStringLiteral("%1.000 N").arg(2 * PointsPerShortStroke));
}

// A foot switch types F5 and Esc: wherever the focus is, they start and stop.
void tst_MainWindowDevice::f5StartsAndEscStopsWhereverTheFocusIs()
{
    QVERIFY(startTester({"--no-pacing"}));
    openWindow();
    connectWindow();
    acceptChart(ShortSpeed, QStringLiteral("20"));
    auto *start = child<QPushButton>("startBtn");
    auto *stop = child<QPushButton>("stopBtn");
    QVERIFY(start->toolTip().contains("F5"));
    QVERIFY(stop->toolTip().contains("Esc"));
    // A window's shortcuts are the active window's.
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QWidget *serialEdit = child<QWidget>("serialNumberEdit");
    serialEdit->setFocus();
    QTest::keyClick(serialEdit, Qt::Key_F5);
    QTRY_VERIFY(!start->isEnabled());
    QTRY_COMPARE(sim->state("phase"), QStringLiteral("forward"));
    // The offscreen platform lets the window go inactive meanwhile.
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    plot()->setFocus();
    QTest::keyClick(plot(), Qt::Key_Escape);
    QTRY_VERIFY(start->isEnabled());
    QString lastWrite;
    QVERIFY(sim->command("last-write", &lastWrite));
    QCOMPARE(lastWrite.section(QLatin1Char(' '), 0, 0), QStringLiteral("4"));

    // The results panel floated as a window of its own runs the cycle too.
    auto *dock = child<QDockWidget>("resultsDock");
    dock->setFloating(true);
    QVERIFY(QTest::qWaitForWindowExposed(dock));
    QWidget *table = dock->findChild<QWidget *>("resultsTable");
    auto pressIn = [&](Qt::Key key) {
        QApplication::setActiveWindow(dock);
        QVERIFY(QTest::qWaitForWindowActive(dock));
        QCOMPARE(QApplication::activeWindow(), static_cast<QWidget *>(dock));
        table->setFocus();
        QTest::keyClick(table, key);
    };
    pressIn(Qt::Key_F5);
    QTRY_COMPARE(sim->state("phase"), QStringLiteral("forward"));
    pressIn(Qt::Key_Escape);
    QTRY_VERIFY(start->isEnabled());
    QCOMPARE(sim->state("phase"), QStringLiteral("idle"));

    // A dialog over the window keeps its Esc: it closes, the test runs on.
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(plot(), Qt::Key_F5);
    QTRY_COMPARE(sim->state("phase"), QStringLiteral("forward"));
    bool closed = false;
    whenModalOpens([&closed](QWidget *modal) {
        QTest::keyClick(modal, Qt::Key_Escape);
        closed = !modal->isVisible();
    });
    child<QAction>("actionabout")->trigger();
    QVERIFY(closed);
    QCOMPARE(sim->state("phase"), QStringLiteral("forward"));
    QVERIFY(!start->isEnabled());
}

QTEST_MAIN(tst_MainWindowDevice)
#include "tst_mainwindow_device.moc"
