#pragma once

#include "device/settings.h"
#include "dialogs/axissetting.h"
#include "evaluation/testprogram.h"

#include <QString>

class MainWindow;
class QCustomPlot;

// Works the real main window as the operator would: its menu actions and
// buttons, and the slots its dialogs and the worker reach.
class WindowDriver
{
public:
    explicit WindowDriver(MainWindow *window);

    MainWindow *window() const { return m_window; }
    QCustomPlot *plot() const { return m_plot; }
    int pointCount() const;

    // Connect; true when the window reports the link open.
    bool connectToTester();
    void disconnectFromTester();
    // What the test start dialog hands back on OK.
    void chooseTest(const Curve_Setting &setting);
    // What the axis dialog hands back on OK.
    void setAxes(const AxisSetting &axes);
    bool clickStart();
    void clickStop();
    void clickRefresh();
    // Open on the File menu, with `path` chosen in the file dialog.
    void openCurveFile(const QString &path);

    // The program the results panel judges by, as the Program menu hands it
    // over; the panel is updated at once, and this returns when it is.
    void useProgram(const TestProgram &program);

    // One curve point as the worker's queued signal delivers it.
    void deliverPoint(int stroke, double distance, double force);

private:
    void trigger(const char *action);
    bool click(const char *button);

    MainWindow *m_window;
    QCustomPlot *m_plot;
    int m_receiveCurveData;
};
