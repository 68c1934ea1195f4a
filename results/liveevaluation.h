#pragma once

#include "results/programmarkers.h"

#include <QObject>

class QCustomPlot;
class QMainWindow;
class ProgramChoice;
class ResultsDock;
class TestSession;
class VerdictBand;
class VerdictSound;

// Shows the session's judgement of the curves in view: builds the Program
// menu and the results dock, hands the chosen program to the session, and
// keeps the dock, the verdict band and the plot's markers in step with the
// session's one evaluation — the one the record keeps. While a test runs
// the panel and the band read "Testing…"; its verdict stands, on the band
// with the spring's serial number and in the sound, when it ends; a test
// stopped before the machine returned reads "Aborted", without a sound.
class LiveEvaluation : public QObject
{
    Q_OBJECT

public:
    LiveEvaluation(QMainWindow *window, QCustomPlot *plot, VerdictBand *band, TestSession *session);

    ProgramChoice *programChoice() const { return m_choice; }
    ResultsDock *dock() const { return m_dock; }
    VerdictSound *sound() const { return m_sound; }

private:
    void showJudgement();
    void testEnded();

    TestSession *m_session;
    QCustomPlot *m_plot;
    ResultsDock *m_dock;
    VerdictBand *m_band;
    VerdictSound *m_sound;
    ProgramChoice *m_choice;
    ProgramMarkers m_markers;
};
