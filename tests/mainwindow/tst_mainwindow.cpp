// The main window on its own, without a tester: start-up state, the live
// readout, the plot's slots, the axis dialog and the file commands' guards.
#include "numbers/numbertext.h"
#include "widgets/filedialogs.h"
#include "mainwindow/mainwindow.h"
#include "support/modalwidget.h"
#include "support/userfolders.h"

#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include <qcustomplot.h>

#include <limits>

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpState();
    void plotStartsEmptyWithLabelsRangesAndLegend();
    void liveReadoutTruncates_data();
    void liveReadoutTruncates();
    void liveReadoutOfCorruptValuesShowsThemUncut_data();
    void liveReadoutOfCorruptValuesShowsThemUncut();
    void failedConnectShowsMessageAndStaysDisconnected();
    void curvePointsGoToTheirGraphInOrder();
    void corruptCurvePointsAreNotPlotted();
    void hiddenGraphStillReceivesPoints();
    void refreshClearsBothCurvesOnly();
    void cursorReadoutUsesTwoAndForceDecimals();
    void axisDialogFillsFromPlotAndAppliesRanges();
    void axisDialogEqualBoundsKeepRangeButApplyReversal();
    void axisAutoSetFollowsTheVisibleCurves();
    void saveAndExportWithoutDataSayNoDataAndAskNothing_data();
    void saveAndExportWithoutDataSayNoDataAndAskNothing();
    void settingsAcceptedWhileDisconnectedLeaveTestButtonsDisabled();
    void statusBarShowsTheNextTestsSettings();
    void saveAsksInDataFolderAndOpenLoadsTheCurvesBack();
    void saveAddsTxtToANameWithoutSuffixAndSaysWhere();
    void saveThatCannotWriteWarnsAndKeepsTheOldFile();
    void readOnlyInstallOffersUserDataFolder();
    void cancelledOpenLeavesTheCurves();
    void exportWritesTheChosenFormat_data();
    void exportWritesTheChosenFormat();
    void exportToUnsupportedNameWarnsAndWritesNothing_data();
    void exportToUnsupportedNameWarnsAndWritesNothing();
    void renderWindowToPng();

private:
    MainWindow *window = nullptr;
    QCustomPlot *plot() const { return window->findChild<QCustomPlot *>("userPlot"); }
    QString status() const { return window->statusBar()->currentMessage(); }
    template <typename T> T *child(const char *name) const
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        return found;
    }
    void invoke(const char *slot, QGenericArgument a = QGenericArgument(),
                QGenericArgument b = QGenericArgument(), QGenericArgument c = QGenericArgument())
    {
        QVERIFY(QMetaObject::invokeMethod(window, slot, Qt::DirectConnection, a, b, c));
    }
    // Accepts the next message box, noting its title and text.
    void acceptNextMessageBox(QString *title, QString *text)
    {
        whenModalOpens([title, text](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box);
            *title = box->windowTitle();
            *text = box->text();
            box->accept();
        });
    }
    void whenModalOpens(std::function<void(QWidget *)> answer)
    {
        ::whenModalOpens(this, std::move(answer));
    }
};

void tst_MainWindow::init()
{
    forceDecimals = 3;
    qputenv("TORVELIN_PORT", "/nonexistent/torvelin-test-port");
    window = new MainWindow;
    window->resize(800, 600);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void tst_MainWindow::cleanup()
{
    delete window;
    window = nullptr;
    FileDialogs::restoreDefaults();
    qunsetenv("TORVELIN_PORT");
}

void tst_MainWindow::startUpState()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Torvelin"));
    // The form's 400 x 400 is the least; the window keeps room for its
    // readout and buttons, and still fits a 1024 x 768 screen.
    QVERIFY(window->minimumWidth() >= 400 && window->minimumWidth() <= 1024);
    QVERIFY(window->minimumHeight() >= 400 && window->minimumHeight() <= 768);
    QVERIFY(!window->windowIcon().isNull());
    QCOMPARE(child<QLabel>("forceLabel")->text(), QString());
    QCOMPARE(child<QLabel>("distanceLabel")->text(), QString());
    QCOMPARE(child<QLabel>("typeLabel")->text(), QStringLiteral("Type"));
    QVERIFY(child<QCheckBox>("forwardCheckBox")->isChecked());
    QVERIFY(child<QCheckBox>("returnCheckBox")->isChecked());
    QVERIFY(!child<QPushButton>("startBtn")->isEnabled());
    QVERIFY(!child<QPushButton>("stopBtn")->isEnabled());
    QVERIFY(!child<QPushButton>("refreshBtn")->isEnabled());
    QVERIFY(child<QPushButton>("axisSetBtn")->isEnabled());
    QVERIFY(child<QAction>("actionConnect")->isEnabled());
    QVERIFY(!child<QAction>("actionDisconnect")->isEnabled());
    QCOMPARE(child<QAction>("actionOpen")->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QCOMPARE(child<QAction>("actionSave")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    QCOMPARE(child<QAction>("actionNew")->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    // The grid fills the window: it is the central widget's own layout.
    QCOMPARE(window->centralWidget()->layout()->objectName(), QStringLiteral("gridLayout"));
    QVERIFY(plot()->height() > window->height() / 2);
}

void tst_MainWindow::plotStartsEmptyWithLabelsRangesAndLegend()
{
    QCOMPARE(plot()->graphCount(), 2);
    QCOMPARE(plot()->graph(0)->name(), QStringLiteral("Forward"));
    QCOMPARE(plot()->graph(1)->name(), QStringLiteral("Return"));
    QCOMPARE(plot()->graph(0)->pen().color(), QColor(Qt::blue));
    QCOMPARE(plot()->graph(1)->pen().color(), QColor(Qt::red));
    QCOMPARE(plot()->xAxis->label(), QStringLiteral("Distance (mm)"));
    QCOMPARE(plot()->yAxis->label(), QStringLiteral("Force (N)"));
    QCOMPARE(plot()->xAxis->range(), QCPRange(0, 100));
    QCOMPARE(plot()->yAxis->range(), QCPRange(-300, 500));
    QVERIFY(plot()->legend->visible());
    QCOMPARE(plot()->interactions(), QCP::iRangeDrag | QCP::iRangeZoom);
    QVERIFY(plot()->graph(0)->data()->isEmpty());
    QVERIFY(plot()->graph(1)->data()->isEmpty());
}

void tst_MainWindow::liveReadoutTruncates_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<float>("distance");
    QTest::addColumn<float>("force");
    QTest::addColumn<QString>("forceText");
    QTest::addColumn<QString>("distanceText");
    QTest::newRow("3 decimals cut, not rounded") << 3 << 5.6789f << 12.34567f << "12.345 N" << "5.67 mm";
    QTest::newRow("tiny negative shows no minus") << 3 << 0.0f << -0.0009f << "0.000 N" << "0.00 mm";
    QTest::newRow("0 decimals") << 0 << 5.6789f << 7.9f << "7 N" << "5.00 mm";
    QTest::newRow("float just below a decimal") << 2 << 0.29f << 0.29f << "0.29 N" << "0.29 mm";
    QTest::newRow("negative force") << 2 << -1.239f << -250.567f << "-250.56 N" << "-1.23 mm";
}

void tst_MainWindow::liveReadoutTruncates()
{
    QFETCH(int, decimals);
    QFETCH(float, distance);
    QFETCH(float, force);
    forceDecimals = decimals;
    invoke("receiveCurrentPointValue", Q_ARG(float, distance), Q_ARG(float, force));
    QFETCH(QString, forceText);
    QFETCH(QString, distanceText);
    QCOMPARE(child<QLabel>("forceLabel")->text(), forceText);
    QCOMPARE(child<QLabel>("distanceLabel")->text(), distanceText);
}

void tst_MainWindow::liveReadoutOfCorruptValuesShowsThemUncut_data()
{
    QTest::addColumn<float>("force");
    QTest::addColumn<QString>("forceText");
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << "nan N";
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << "inf N";
    QTest::newRow("beyond int range") << 3.0e9f << "3000000000.000 N";
    // Inside the range until the float-step nudge carries it past INT_MAX.
    QTest::newRow("pushed past int range") << 2147483.5f << "2147483.500 N";
}

void tst_MainWindow::liveReadoutOfCorruptValuesShowsThemUncut()
{
    QFETCH(float, force);
    QFETCH(QString, forceText);
    invoke("receiveCurrentPointValue", Q_ARG(float, 1.0f), Q_ARG(float, force));
    QCOMPARE(child<QLabel>("forceLabel")->text(), forceText);
    QCOMPARE(child<QLabel>("distanceLabel")->text(), QStringLiteral("1.00 mm"));
}

void tst_MainWindow::failedConnectShowsMessageAndStaysDisconnected()
{
    child<QAction>("actionConnect")->trigger();
    // The reason follows, and the indicator's tooltip repeats it.
    QVERIFY2(status().startsWith(QStringLiteral("COM open failed: ")), qPrintable(status()));
    QCOMPARE(child<QLabel>("linkIndicator")->toolTip(), status());
    QVERIFY(child<QAction>("actionConnect")->isEnabled());
    QVERIFY(!child<QAction>("actionDisconnect")->isEnabled());
    QCOMPARE(child<QLabel>("typeLabel")->text(), QStringLiteral("Type"));
    QCOMPARE(plot()->yAxis->range(), QCPRange(-300, 500));
}

void tst_MainWindow::curvePointsGoToTheirGraphInOrder()
{
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 1.0), Q_ARG(double, 10.0));
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 2.0), Q_ARG(double, 20.0));
    invoke("receiveCurveData", Q_ARG(int, 1), Q_ARG(double, 2.0), Q_ARG(double, 18.0));
    // Far outside the ranges: kept, and the axes are not rescaled.
    invoke("receiveCurveData", Q_ARG(int, 1), Q_ARG(double, 500.0), Q_ARG(double, 9000.0));
    QCOMPARE(plot()->graph(0)->data()->size(), 2);
    QCOMPARE(plot()->graph(1)->data()->size(), 2);
    QCOMPARE(plot()->graph(0)->data()->at(1)->value, 20.0);
    QCOMPARE(plot()->graph(1)->data()->at(1)->key, 500.0);
    QCOMPARE(plot()->xAxis->range(), QCPRange(0, 100));
}

void tst_MainWindow::corruptCurvePointsAreNotPlotted()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, nan), Q_ARG(double, 1.0));
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 1.0), Q_ARG(double, inf));
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 3.0), Q_ARG(double, 4.0));
    QCOMPARE(plot()->graph(0)->data()->size(), 1);
    QCOMPARE(plot()->graph(0)->data()->at(0)->key, 3.0);
}

void tst_MainWindow::hiddenGraphStillReceivesPoints()
{
    QCheckBox *box = child<QCheckBox>("returnCheckBox");
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QVERIFY(!box->isChecked());
    QVERIFY(!plot()->graph(1)->visible());
    QVERIFY(plot()->graph(0)->visible());
    invoke("receiveCurveData", Q_ARG(int, 1), Q_ARG(double, 4.0), Q_ARG(double, 40.0));
    QCOMPARE(plot()->graph(1)->data()->size(), 1);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QVERIFY(plot()->graph(1)->visible());
}

void tst_MainWindow::refreshClearsBothCurvesOnly()
{
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 1.0), Q_ARG(double, 10.0));
    invoke("receiveCurveData", Q_ARG(int, 1), Q_ARG(double, 1.0), Q_ARG(double, 9.0));
    plot()->xAxis->setRange(5, 50);
    invoke("on_refreshBtn_clicked");
    QVERIFY(plot()->graph(0)->data()->isEmpty());
    QVERIFY(plot()->graph(1)->data()->isEmpty());
    QCOMPARE(plot()->xAxis->range(), QCPRange(5, 50));
    QVERIFY(plot()->legend->visible());
    // Refresh with empty graphs only replots.
    invoke("on_refreshBtn_clicked");
    QVERIFY(plot()->graph(0)->data()->isEmpty());
}

void tst_MainWindow::cursorReadoutUsesTwoAndForceDecimals()
{
    forceDecimals = 1;
    plot()->replot();
    const QPoint at(int(plot()->xAxis->coordToPixel(12.345)), int(plot()->yAxis->coordToPixel(250.4)));
    QTest::mouseMove(plot(), at);
    QTRY_VERIFY(!status().isEmpty());
    const QStringList parts = status().split(QStringLiteral(", "));
    QCOMPARE(parts.size(), 2);
    QVERIFY2(parts[0].contains(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\d$"))), qPrintable(status()));
    QVERIFY2(parts[1].contains(QRegularExpression(QStringLiteral("^-?\\d+\\.\\d$"))), qPrintable(status()));
    QVERIFY(qAbs(parts[0].toDouble() - 12.345) < 0.5);
    QVERIFY(qAbs(parts[1].toDouble() - 250.4) < 5);
}

void tst_MainWindow::axisDialogFillsFromPlotAndAppliesRanges()
{
    plot()->xAxis->setRange(0.123, 4.567);
    whenModalOpens([](QWidget *dialog) {
        // The plot follows the curves until the operator sets its axes.
        QVERIFY(dialog->findChild<QCheckBox *>("checkBox")->isChecked());
        dialog->findChild<QCheckBox *>("checkBox")->setChecked(false);
        QCOMPARE(dialog->findChild<QLineEdit *>("xAxisMinEdit")->text(), QStringLiteral("0.12"));
        QCOMPARE(dialog->findChild<QLineEdit *>("xAxisMaxEdit")->text(), QStringLiteral("4.57"));
        QCOMPARE(dialog->findChild<QLineEdit *>("yAxisMinEdit")->text(), QStringLiteral("-300.000"));
        QCOMPARE(dialog->findChild<QLineEdit *>("yAxisMaxEdit")->text(), QStringLiteral("500.000"));
        dialog->findChild<QLineEdit *>("yAxisMinEdit")->setText(QStringLiteral("50"));
        dialog->findChild<QLineEdit *>("yAxisMaxEdit")->setText(QStringLiteral("10"));
        dialog->findChild<QCheckBox *>("yAxisReversed")->setChecked(true);
        QTest::mouseClick(dialog->findChild<QPushButton *>("okBtn"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>("axisSetBtn"), Qt::LeftButton);
    QCOMPARE(plot()->xAxis->range(), QCPRange(0.12, 4.57));
    QCOMPARE(plot()->yAxis->range(), QCPRange(10, 50));
    QVERIFY(plot()->yAxis->rangeReversed());
    QVERIFY(!plot()->xAxis->rangeReversed());

    // The next opening shows the reversal again; Cancel changes nothing.
    whenModalOpens([](QWidget *dialog) {
        QVERIFY(dialog->findChild<QCheckBox *>("yAxisReversed")->isChecked());
        dialog->findChild<QLineEdit *>("xAxisMinEdit")->setText(QStringLiteral("7"));
        QTest::mouseClick(dialog->findChild<QPushButton *>("cancelBtn"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>("axisSetBtn"), Qt::LeftButton);
    QCOMPARE(plot()->xAxis->range(), QCPRange(0.12, 4.57));
}

void tst_MainWindow::axisDialogEqualBoundsKeepRangeButApplyReversal()
{
    whenModalOpens([](QWidget *dialog) {
        dialog->findChild<QLineEdit *>("xAxisMinEdit")->setText(QStringLiteral("30"));
        dialog->findChild<QLineEdit *>("xAxisMaxEdit")->setText(QStringLiteral("30"));
        dialog->findChild<QLineEdit *>("yAxisMinEdit")->clear();
        dialog->findChild<QCheckBox *>("xAxisReversed")->setChecked(true);
        dialog->findChild<QCheckBox *>("checkBox")->setChecked(false);
        QTest::mouseClick(dialog->findChild<QPushButton *>("okBtn"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>("axisSetBtn"), Qt::LeftButton);
    QCOMPARE(plot()->xAxis->range(), QCPRange(0, 100));
    QVERIFY(plot()->xAxis->rangeReversed());
    // An emptied field counts as 0.
    QCOMPARE(plot()->yAxis->range(), QCPRange(0, 500));
}

void tst_MainWindow::axisAutoSetFollowsTheVisibleCurves()
{
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 0.0), Q_ARG(double, 0.0));
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 10.0), Q_ARG(double, 50.0));
    invoke("receiveCurveData", Q_ARG(int, 1), Q_ARG(double, 5.0), Q_ARG(double, 90.0));
    auto setAutoFit = [this](bool on) {
        whenModalOpens([on](QWidget *dialog) {
            dialog->findChild<QCheckBox *>("checkBox")->setChecked(on);
            QTest::mouseClick(dialog->findChild<QPushButton *>("okBtn"), Qt::LeftButton);
        });
        QTest::mouseClick(child<QPushButton>("axisSetBtn"), Qt::LeftButton);
    };
    setAutoFit(true);
    // 5 % of the span either side.
    QCOMPARE(plot()->xAxis->range(), QCPRange(-0.5, 10.5));
    QCOMPARE(plot()->yAxis->range(), QCPRange(-4.5, 94.5));

    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 20.0), Q_ARG(double, 180.0));
    QTRY_COMPARE(plot()->xAxis->range(), QCPRange(-1, 21));
    QCOMPARE(plot()->yAxis->range(), QCPRange(-9, 189));
    child<QCheckBox>("forwardCheckBox")->click();
    QTRY_COMPARE(plot()->xAxis->range(), QCPRange(4, 6));
    QCOMPARE(plot()->yAxis->range(), QCPRange(89, 91));

    // Shown checked again; unchecked, the fields' ranges apply.
    bool shownChecked = false;
    whenModalOpens([&shownChecked](QWidget *dialog) {
        shownChecked = dialog->findChild<QCheckBox *>("checkBox")->isChecked();
        dialog->findChild<QCheckBox *>("checkBox")->setChecked(false);
        dialog->findChild<QLineEdit *>("xAxisMinEdit")->setText(QStringLiteral("0"));
        dialog->findChild<QLineEdit *>("xAxisMaxEdit")->setText(QStringLiteral("100"));
        QTest::mouseClick(dialog->findChild<QPushButton *>("okBtn"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>("axisSetBtn"), Qt::LeftButton);
    QVERIFY(shownChecked);
    QCOMPARE(plot()->xAxis->range(), QCPRange(0, 100));
    invoke("receiveCurveData", Q_ARG(int, 1), Q_ARG(double, 200.0), Q_ARG(double, 9000.0));
    QCoreApplication::processEvents();
    QCOMPARE(plot()->xAxis->range(), QCPRange(0, 100));
}

void tst_MainWindow::saveAndExportWithoutDataSayNoDataAndAskNothing_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("Save") << "actionSave";
    QTest::newRow("Export") << "actionExport";
}

void tst_MainWindow::saveAndExportWithoutDataSayNoDataAndAskNothing()
{
    QFETCH(QString, action);
    bool asked = false;
    FileDialogs::getSaveFileName = [&asked](QWidget *, const QString &, const QString &,
                                            const QString &) {
        asked = true;
        return QString();
    };
    QString title, text;
    acceptNextMessageBox(&title, &text);
    window->findChild<QAction *>(action)->trigger();
    QCOMPARE(title, QStringLiteral("Info"));
    QCOMPARE(text, QStringLiteral("The graph has no data!"));
    QVERIFY(!asked);
}

void tst_MainWindow::settingsAcceptedWhileDisconnectedLeaveTestButtonsDisabled()
{
    Curve_Setting setting;
    setting.mode = 1;
    invoke("receiveCurveSetting", Q_ARG(Curve_Setting, setting));
    QVERIFY(!child<QPushButton>("startBtn")->isEnabled());
    QVERIFY(!child<QPushButton>("stopBtn")->isEnabled());
    QVERIFY(!child<QPushButton>("refreshBtn")->isEnabled());
}

void tst_MainWindow::statusBarShowsTheNextTestsSettings()
{
    auto *label = child<QLabel>("testSettingsLabel");
    QVERIFY(label && label->isVisible());
    QCOMPARE(label->text(), QStringLiteral("PUSH · relative · 10.00 mm · 100 mm/min"));
    Curve_Setting setting;
    setting.mode = 1;
    setting.distanceMode = 1;
    setting.speed = 500;
    setting.distance = 200.0f;
    invoke("receiveCurveSetting", Q_ARG(Curve_Setting, setting));
    QCOMPARE(label->text(), QStringLiteral("PULL · absolute · 200.00 mm · 500 mm/min"));
    // Messages come and go beside it.
    window->statusBar()->showMessage(QStringLiteral("COM open failed"));
    QVERIFY(label->isVisible());
}

namespace {
struct DialogCall
{
    QString caption, directory, filter;
};

FileDialogs::Chooser answering(const QString &name, DialogCall *call = nullptr)
{
    return [name, call](QWidget *, const QString &caption, const QString &directory,
                        const QString &filter) {
        if (call)
            *call = {caption, directory, filter};
        return name;
    };
}
} // namespace

void tst_MainWindow::saveAsksInDataFolderAndOpenLoadsTheCurvesBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("run.txt");
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 12.75), Q_ARG(double, -0.004));
    // Points are held as the tester's floats: 1.2356 is 1.23559999…, still 1.236.
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 0.5), Q_ARG(double, 1.2356));
    invoke("receiveCurveData", Q_ARG(int, 1), Q_ARG(double, 0.5), Q_ARG(double, 1.102));
    DialogCall save;
    FileDialogs::getSaveFileName = answering(path, &save);
    child<QAction>("actionSave")->trigger();
    const QString dataDir = QCoreApplication::applicationDirPath() + "/Data";
    QCOMPARE(save.caption, QStringLiteral("Save"));
    QCOMPARE(save.filter, QStringLiteral("*.txt"));
    QVERIFY(save.directory.startsWith(dataDir + "/"));
    QVERIFY(QRegularExpression("^\\d{4}_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d$")
                .match(save.directory.mid(dataDir.size() + 1)).hasMatch());
    QVERIFY(QFileInfo(dataDir).isDir());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("Data Forward:\n0.50,1.236\n12.75,-0.004\n"
                                        "Data Return:\n0.50,1.102\n"));
    file.close();

    invoke("on_refreshBtn_clicked");
    // Fitted axes would follow the loaded curves instead.
    whenModalOpens([](QWidget *dialog) {
        dialog->findChild<QCheckBox *>("checkBox")->setChecked(false);
        QTest::mouseClick(dialog->findChild<QPushButton *>("okBtn"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>("axisSetBtn"), Qt::LeftButton);
    plot()->xAxis->setRange(40, 60);
    DialogCall open;
    FileDialogs::getOpenFileName = answering(path, &open);
    child<QAction>("actionOpen")->trigger();
    QCOMPARE(open.caption, QStringLiteral("Open"));
    // The folder used last in this run.
    QCOMPARE(open.directory, dir.path());
    QCOMPARE(open.filter, QStringLiteral("*.txt"));
    QCOMPARE(plot()->graph(0)->data()->size(), 2);
    QCOMPARE(plot()->graph(1)->data()->size(), 1);
    QCOMPARE(plot()->graph(0)->data()->at(0)->key, double(0.5f));
    QCOMPARE(plot()->graph(0)->data()->at(0)->value, double(1.236f));
    QCOMPARE(plot()->graph(0)->data()->at(1)->value, double(-0.004f));
    QCOMPARE(plot()->xAxis->range(), QCPRange(0, 100));
}

void tst_MainWindow::saveAddsTxtToANameWithoutSuffixAndSaysWhere()
{
    QTemporaryDir dir;
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 1.0), Q_ARG(double, 2.0));
    FileDialogs::getSaveFileName = answering(dir.filePath("run"));
    child<QAction>("actionSave")->trigger();
    const QString saved = dir.filePath("run.txt");
    QVERIFY(QFileInfo(saved).isFile());
    QVERIFY(!QFileInfo::exists(dir.filePath("run")));
    QCOMPARE(status(), QStringLiteral("The curves were saved to %1").arg(QDir::toNativeSeparators(saved)));

    // The dialog only asked about "run": replacing run.txt is asked here.
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 3.0), Q_ARG(double, 4.0));
    QString question;
    whenModalOpens([&question](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        question = box->text();
        box->button(QMessageBox::No)->click();
    });
    child<QAction>("actionSave")->trigger();
    QVERIFY2(question.contains(QDir::toNativeSeparators(saved)), qPrintable(question));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count('\n'), 3);
}

void tst_MainWindow::saveThatCannotWriteWarnsAndKeepsTheOldFile()
{
    QTemporaryDir dir;
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 1.0), Q_ARG(double, 2.0));
    // A folder chosen as the file.
    FileDialogs::getSaveFileName = answering(dir.path());
    QString title, text;
    acceptNextMessageBox(&title, &text);
    child<QAction>("actionSave")->trigger();
    QCOMPARE(title, QStringLiteral("Save"));
    QVERIFY2(text.contains(dir.path()), qPrintable(text));
    QVERIFY(QFileInfo(dir.path()).isDir());
}

void tst_MainWindow::readOnlyInstallOffersUserDataFolder()
{
    ReadOnlyInstall install;
    const QString dataDir = install.homePath() + "/Documents/Torvelin/Data";
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 1.0), Q_ARG(double, 2.0));
    DialogCall save;
    FileDialogs::getSaveFileName = answering(QString(), &save);

    child<QAction>("actionSave")->trigger();

    QVERIFY2(save.directory.startsWith(dataDir + "/"), qPrintable(save.directory));
    QVERIFY(QFileInfo(dataDir).isDir());
}

void tst_MainWindow::cancelledOpenLeavesTheCurves()
{
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 1.0), Q_ARG(double, 2.0));
    plot()->xAxis->setRange(40, 60);
    FileDialogs::getOpenFileName = answering(QString());
    child<QAction>("actionOpen")->trigger();
    QCOMPARE(plot()->graph(0)->data()->size(), 1);
    QCOMPARE(plot()->xAxis->range(), QCPRange(40, 60));
}

void tst_MainWindow::exportWritesTheChosenFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("jpg") << "plot.jpg" << QByteArray("\xFF\xD8");
    QTest::newRow("JPG in capitals") << "plot.JPG" << QByteArray("\xFF\xD8");
    QTest::newRow("bmp") << "plot.bmp" << QByteArray("BM");
    QTest::newRow("pdf") << "plot.pdf" << QByteArray("%PDF");
}

void tst_MainWindow::exportWritesTheChosenFormat()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, magic);
    QTemporaryDir dir;
    invoke("receiveCurveData", Q_ARG(int, 1), Q_ARG(double, 1.0), Q_ARG(double, 2.0));
    DialogCall call;
    FileDialogs::getSaveFileName = answering(dir.filePath(name), &call);
    child<QAction>("actionExport")->trigger();
    QCOMPARE(call.caption, QStringLiteral("Export"));
    QCOMPARE(call.filter, QStringLiteral("*.jpg;; *.bmp;; *.pdf"));
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(magic.size()) == magic);
}

void tst_MainWindow::exportToUnsupportedNameWarnsAndWritesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("png") << "plot.png";
    QTest::newRow("jpeg") << "plot.jpeg";
    QTest::newRow("no suffix in a dotted folder") << "run.2/plot";
}

void tst_MainWindow::exportToUnsupportedNameWarnsAndWritesNothing()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("run.2"));
    invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, 1.0), Q_ARG(double, 2.0));
    FileDialogs::getSaveFileName = answering(dir.filePath(name));
    QString title, text;
    acceptNextMessageBox(&title, &text);
    child<QAction>("actionExport")->trigger();
    QVERIFY2(text.contains(".jpg") && text.contains(".pdf"), qPrintable(text));
    QVERIFY(!QFileInfo::exists(dir.filePath(name)));
}

void tst_MainWindow::renderWindowToPng()
{
    for (int i = 0; i <= 100; ++i) {
        const double d = i * 0.5;
        invoke("receiveCurveData", Q_ARG(int, 0), Q_ARG(double, d), Q_ARG(double, 8.0 * d));
        invoke("receiveCurveData", Q_ARG(int, 1), Q_ARG(double, d), Q_ARG(double, 7.2 * d));
    }
    invoke("receiveCurrentPointValue", Q_ARG(float, 12.5f), Q_ARG(float, 100.25f));
    plot()->replot();
    // New label texts relayout the grid through posted events.
    QCoreApplication::sendPostedEvents();
    window->centralWidget()->layout()->activate();
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath("mainwindow.png");
    QVERIFY(window->grab().save(path));
    QVERIFY(QImage(path).width() >= 400);
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
