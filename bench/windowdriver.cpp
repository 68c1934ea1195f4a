#include "bench/windowdriver.h"

#include "bench/plotprobe.h"
#include "widgets/filedialogs.h"
#include "mainwindow/mainwindow.h"
#include "session/testsession.h"

#include <QAction>
#include <QPushButton>

#include <qcustomplot.h>

WindowDriver::WindowDriver(MainWindow *window)
    : m_window(window)
    , m_plot(window->findChild<QCustomPlot *>(QStringLiteral("userPlot")))
    , m_receiveCurveData(window->metaObject()->indexOfSlot("receiveCurveData(int,double,double)"))
{
    Q_ASSERT(m_plot);
    Q_ASSERT(m_receiveCurveData >= 0);
}

void WindowDriver::useProgram(const TestProgram &program)
{
    m_window->findChild<TestSession *>()->useProgram(program, QStringLiteral("bench"));
}

int WindowDriver::pointCount() const
{
    return PlotProbe::pointCount(m_plot);
}

void WindowDriver::trigger(const char *action)
{
    m_window->findChild<QAction *>(QLatin1String(action))->trigger();
}

bool WindowDriver::click(const char *button)
{
    QPushButton *found = m_window->findChild<QPushButton *>(QLatin1String(button));
    if (!found->isEnabled())
        return false;
    found->click();
    return true;
}

bool WindowDriver::connectToTester()
{
    trigger("actionConnect");
    return m_window->findChild<QAction *>(QStringLiteral("actionDisconnect"))->isEnabled();
}

void WindowDriver::disconnectFromTester()
{
    trigger("actionDisconnect");
}

void WindowDriver::chooseTest(const Curve_Setting &setting)
{
    QMetaObject::invokeMethod(m_window, "receiveCurveSetting", Qt::DirectConnection,
                              Q_ARG(Curve_Setting, setting));
}

void WindowDriver::setAxes(const AxisSetting &axes)
{
    QMetaObject::invokeMethod(m_window, "receiveAxisSet", Qt::DirectConnection,
                              Q_ARG(AxisSetting, axes));
}

bool WindowDriver::clickStart()
{
    return click("startBtn");
}

void WindowDriver::clickStop()
{
    click("stopBtn");
}

void WindowDriver::clickRefresh()
{
    // Refresh is enabled only once a test has been chosen while connected;
    // its slot is what the button runs.
    QMetaObject::invokeMethod(m_window, "on_refreshBtn_clicked", Qt::DirectConnection);
}

void WindowDriver::openCurveFile(const QString &path)
{
    FileDialogs::getOpenFileName = [path](QWidget *, const QString &, const QString &,
                                          const QString &) { return path; };
    trigger("actionOpen");
    FileDialogs::restoreDefaults();
}

void WindowDriver::deliverPoint(int stroke, double distance, double force)
{
    // The call a queued signal makes when its event is delivered.
    void *arguments[] = {nullptr, &stroke, &distance, &force};
    m_window->qt_metacall(QMetaObject::InvokeMetaMethod, m_receiveCurveData, arguments);
}
