#include "results/liveevaluation.h"

#include "results/programchoice.h"
#include "results/resultsdock.h"
#include "results/verdictband.h"
#include "results/verdictsound.h"

#include <QMainWindow>
#include <QScreen>
#include <QMenu>

#include <qcustomplot.h>

LiveEvaluation::LiveEvaluation(QMainWindow *window, QCustomPlot *plot, VerdictBand *band,
                               const TestCurves *curves)
    : QObject(window)
    , m_curves(curves)
    , m_plot(plot)
    , m_dock(new ResultsDock(window))
    , m_band(band)
    , m_sound(new VerdictSound(this))
    , m_choice(new ProgramChoice(window))
    , m_markers(plot)
{
    window->addDockWidget(Qt::RightDockWidgetArea, m_dock);
    // The panel comes beside the plot, not out of it: the window grows by
    // the panel's width as far as the screen allows.
    const int wanted = window->width() + m_dock->sizeHint().width();
    const QScreen *screen = window->screen();
    window->resize(screen ? qMin(wanted, screen->availableGeometry().width()) : wanted,
                   window->height());
    m_choice->menu()->addSeparator();
    m_choice->menu()->addAction(m_dock->toggleViewAction());
    m_choice->menu()->addAction(m_sound->action());
    connect(m_choice, &ProgramChoice::programChosen, this, &LiveEvaluation::useProgram);
    connect(m_choice, &ProgramChoice::noProgramChosen, this, &LiveEvaluation::useNoProgram);

    m_pending.setSingleShot(true);
    m_pending.setInterval(0);
    connect(&m_pending, &QTimer::timeout, this, &LiveEvaluation::evaluateNow);
}

void LiveEvaluation::useProgram(const TestProgram &program, const QString &name)
{
    m_program = program;
    m_dock->showProgram(name);
    evaluateNow();
}

void LiveEvaluation::useNoProgram()
{
    m_program.reset();
    m_dock->showProgram(QString());
    evaluateNow();
}

void LiveEvaluation::curvesChanged()
{
    if (m_program && !m_pending.isActive())
        m_pending.start();
}

void LiveEvaluation::testStarted(const QString &serialNumber)
{
    m_testing = true;
    m_aborted = false;
    m_serialNumber = serialNumber;
    evaluateNow();
}

void LiveEvaluation::testEnded(bool aborted)
{
    if (!m_testing)
        return;
    m_testing = false;
    m_aborted = aborted;
    evaluateNow();
    if (m_program && !m_curves->isEmpty() && !aborted)
        m_sound->play(m_evaluation.passed);
}

void LiveEvaluation::showSerialNumber(const QString &serialNumber)
{
    m_serialNumber = serialNumber;
    m_aborted = false;
    evaluateNow();
}

void LiveEvaluation::evaluateNow()
{
    m_pending.stop();
    m_evaluation = m_program ? SpringEvaluation::evaluate(*m_curves, *m_program) : Evaluation();
    const bool judged = m_program && !m_curves->isEmpty();
    using Phase = ResultsDock::Phase;
    m_dock->showEvaluation(m_evaluation, judged,
                           m_testing ? Phase::Testing : m_aborted ? Phase::Aborted : Phase::Ended);
    using State = VerdictBand::State;
    const State state = !m_program ? State::Hidden
                        : m_testing ? State::Testing
                        : !judged   ? State::Ready
                        : m_aborted ? State::Aborted
                        : m_evaluation.passed ? State::Pass
                                              : State::Fail;
    m_band->showState(state, m_serialNumber);
    if (m_program)
        m_markers.show(m_evaluation);
    else
        m_markers.clear();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}
