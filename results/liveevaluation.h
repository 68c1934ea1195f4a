#pragma once

#include "evaluation/evaluation.h"
#include "results/programmarkers.h"

#include <QObject>
#include <QTimer>

#include <optional>

class QCustomPlot;
class QMainWindow;
class ProgramChoice;
class ResultsDock;

// Judges every test in the window: builds the Program menu and the results
// dock, and keeps the dock and the plot's markers in step with the curves
// and the chosen program — while a test runs (a point is judged as soon as
// the forward stroke passes its distance) and when curves are loaded or
// cleared. The evaluation runs once per pass of the event loop however many
// points arrived, like the plot's queued replot.
class LiveEvaluation : public QObject
{
    Q_OBJECT

public:
    LiveEvaluation(QMainWindow *window, QCustomPlot *plot, const TestCurves *curves);

    ProgramChoice *programChoice() const { return m_choice; }
    ResultsDock *dock() const { return m_dock; }
    const std::optional<TestProgram> &program() const { return m_program; }
    const Evaluation &evaluation() const { return m_evaluation; }

public slots:
    void useProgram(const TestProgram &program, const QString &name);
    void useNoProgram();
    // The curves gained points or were replaced.
    void curvesChanged();

private:
    void evaluateNow();

    const TestCurves *m_curves;
    QCustomPlot *m_plot;
    ResultsDock *m_dock;
    ProgramChoice *m_choice;
    ProgramMarkers m_markers;
    std::optional<TestProgram> m_program;
    Evaluation m_evaluation;
    QTimer m_pending;
};
