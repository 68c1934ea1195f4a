#include "results/liveevaluation.h"

#include "results/programchoice.h"
#include "results/resultsdock.h"
#include "results/verdictband.h"
#include "results/verdictsound.h"
#include "session/testsession.h"

#include <QMainWindow>
#include <QMenu>
#include <QScreen>

#include <qcustomplot.h>

LiveEvaluation::LiveEvaluation(QMainWindow *window, QCustomPlot *plot, VerdictBand *band,
                               TestSession *session)
    : QObject(window)
    , m_session(session)
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
    connect(m_choice, &ProgramChoice::programChosen, session, &TestSession::useProgram);
    connect(m_choice, &ProgramChoice::noProgramChosen, session, &TestSession::useNoProgram);
    connect(session, &TestSession::judgementChanged, this, &LiveEvaluation::showJudgement);
    connect(session, &TestSession::testEnded, this, &LiveEvaluation::testEnded);
    connect(session, &TestSession::processAlarmChanged, this,
            [this] { m_dock->showProcessAlarm(m_session->processAlarm()); });
    showJudgement();
}

void LiveEvaluation::testEnded()
{
    if (m_session->hasVerdict())
        m_sound->play(m_session->evaluation().passed);
}

void LiveEvaluation::showJudgement()
{
    const bool testing = m_session->isTestOpen();
    const bool judging = m_session->isJudging();
    const bool judged = m_session->hasVerdict();
    // An aborted test's points reached are shown; it has no verdict.
    const bool aborted = judging && m_session->isAborted();
    const Evaluation &evaluation = m_session->evaluation();
    m_dock->showProgram(m_session->programName());
    using Phase = ResultsDock::Phase;
    m_dock->showEvaluation(evaluation, judged || aborted,
                           testing ? Phase::Testing : aborted ? Phase::Aborted : Phase::Ended);
    using State = VerdictBand::State;
    const State state = !judging ? State::Hidden
                        : testing ? State::Testing
                        : aborted ? State::Aborted
                        : !judged ? State::Ready
                        : evaluation.passed ? State::Pass
                                            : State::Fail;
    m_band->showState(state, m_session->serialNumber());
    if (judging)
        m_markers.show(evaluation);
    else
        m_markers.clear();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}
