#pragma once

#include "device/linkhealth.h"
#include "device/settings.h"
#include "dialogs/axissetting.h"
#include "records/storedtest.h"
#include "mainwindow/curveplotview.h"
#include "recording/startgate.h"

#include <QMainWindow>

class HistoryActions;
class LibraryActions;
class LinkMonitor;
class LiveEvaluation;
class QMouseEvent;
class modbusThread;
class PlotAutoFit;
class TestRecording;
class TestSession;
class TestSettingsLabel;
class VerificationActions;

namespace Ui {
class MainWindow;
}

// The program's window: builds the form and wires it to the test session
// (session/), which holds the connection, the curves, the running test, its
// evaluation and its recording. The window's slots forward to the session
// and show what it holds: the live force and distance, the forward and
// return curves, every dialog. Owns the acquisition worker.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

signals:
    void sendCurveSetting(Curve_Setting setting);
    // Each point the worker reports that the curves take (a finite point of
    // either stroke), after the curves and the plot hold it.
    void curvePointAdded(int stroke, double distance, double force);
    // The curves were cleared (Refresh) or loaded (Open).
    void curvesReplaced();
    // Start began a test on a clean plot.
    void testBegun();

public slots:
    // Shows a test on record in the plot, in place of the curves there.
    void receiveStoredTest(const StoredTest &test);

private slots:
    void on_actionConnect_triggered();
    void on_actionDisconnect_triggered();
    void on_actionSetting_triggered();
    void on_startBtn_clicked();
    void on_stopBtn_clicked();
    void on_refreshBtn_clicked();
    void on_axisSetBtn_clicked();
    void on_actionChart_triggered();
    void on_actionabout_triggered();
    void myWidgetDoubleClicked(QMouseEvent *event);
    void myMouseMoveEvent(QMouseEvent *event);
    void on_actionOpen_triggered();
    void on_actionSave_triggered();
    void on_forwardCheckBox_clicked();
    void on_returnCheckBox_clicked();
    void on_actionLanguage_triggered();
    void on_actionExport_triggered();
    void receiveAxisSet(AxisSetting setting);
    void receiveCurveSetting(Curve_Setting setting);
    void receiveCurveData(int index, double x, double y);
    void receiveCurrentPointValue(float distance, float force);
    void on_actionmachine_parameter_triggered();
    void receiveLinkReport(LinkReport report);

private:
    void setUpPlot();
    void setUpTestShortcuts();
    void showTestSettings();
    void enableTestButtons();
    void frameProgram(const Curve_Setting &setting);
    void fitReadout();
    bool isConnected() const;
    void showReading(float distance, float force);
    bool plotHasData() const;
    void showCurves();
    void connectionChanged(bool connected);
    static QString testOpenMessage();
    void showNoDataMessage();
    QString dataDirectory();
    QString defaultFileName();
    QString fileFolder();

    Ui::MainWindow *ui;
    // The settings last accepted in Chart; what Start sends is the session's
    // word (a chosen program's own settings may take their place).
    Curve_Setting curveSetting;
    modbusThread *worker;
    LinkMonitor *linkMonitor;
    // The status text of the last Connect, shown again when the tester
    // answers after an outage.
    QString connectionMessage;
    TestSession *session;
    CurvePlotView curvePlot;
    LiveEvaluation *liveEvaluation;
    TestSettingsLabel *testSettingsLabel;
    QString lastFileFolder;
    PlotAutoFit *autoFit = nullptr;
    TestRecording *recording;
    HistoryActions *history;
    LibraryActions *library;
    VerificationActions *verification;
    StartGate startGate;
};
