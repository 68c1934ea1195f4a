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
class VerdictBand;
class VerdictSound;

// Judges every test in the window: builds the Program menu and the results
// dock, and keeps the dock and the plot's markers in step with the curves
// and the chosen program — while a test runs (a point is judged as soon as
// the forward stroke passes its distance) and when curves are loaded or
// cleared. The evaluation runs once per pass of the event loop however many
// points arrived, like the plot's queued replot. While a test runs the
// panel and the verdict band read "Testing…"; its verdict stands, on the
// band with the spring's serial number and in the sound, when it ends.
class LiveEvaluation : public QObject
{
    Q_OBJECT

public:
    LiveEvaluation(QMainWindow *window, QCustomPlot *plot, VerdictBand *band,
                   const TestCurves *curves);

    ProgramChoice *programChoice() const { return m_choice; }
    ResultsDock *dock() const { return m_dock; }
    VerdictSound *sound() const { return m_sound; }
    const std::optional<TestProgram> &program() const { return m_program; }
    const Evaluation &evaluation() const { return m_evaluation; }

public slots:
    void useProgram(const TestProgram &program, const QString &name);
    void useNoProgram();
    // The curves gained points or were replaced.
    void curvesChanged();
    // The test of the spring with this serial number (empty: none typed)
    // has begun or ended; the serial number goes with the verdict.
    void testStarted(const QString &serialNumber);
    // `aborted`: stopped before the machine returned; it has no verdict.
    void testEnded(bool aborted = false);
    // Curves that are not the window's test (a file, a record) are in view.
    void showSerialNumber(const QString &serialNumber);

private:
    void evaluateNow();

    const TestCurves *m_curves;
    QCustomPlot *m_plot;
    ResultsDock *m_dock;
    VerdictBand *m_band;
    VerdictSound *m_sound;
    ProgramChoice *m_choice;
    ProgramMarkers m_markers;
    std::optional<TestProgram> m_program;
    Evaluation m_evaluation;
    QTimer m_pending;
    bool m_testing = false;
    bool m_aborted = false;
    QString m_serialNumber;
};
