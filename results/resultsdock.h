#pragma once

#include "evaluation/evaluation.h"

#include <QDockWidget>

class QLabel;
class QTableWidget;

// The results panel beside the plot: the program in use, a row per test
// point (distance, measured force, limits, verdict in words and colour),
// the rates, the maximum force, the hysteresis and a large overall verdict.
// A dock, so the operator can hide it; it only shows what it is handed.
class ResultsDock : public QDockWidget
{
    Q_OBJECT

public:
    explicit ResultsDock(QWidget *parent = nullptr);

    // An empty name says that no program is chosen.
    void showProgram(const QString &name);
    // The figures of an evaluation; `judged` false (no program or no
    // curves) leaves the overall verdict blank. While `testing`, the
    // overall verdict reads "Testing…" and a point not yet reached waits.
    // Where the test in view is: running (its points are judged as the
    // stroke passes them), ended with its verdict, or aborted without one.
    enum class Phase { Ended, Testing, Aborted };
    void showEvaluation(const Evaluation &evaluation, bool judged, Phase phase = Phase::Ended);

    // A control chart rule the last test broke, in red under the verdict;
    // empty hides it.
    void showProcessAlarm(const QString &text);

    static QString verdictText(PointVerdict verdict);
    static QColor verdictColour(PointVerdict verdict);

private:
    void setCell(int row, int column, const QString &text, const QColor &colour = QColor());
    void fitColumns();

    QLabel *m_program;
    QTableWidget *m_points;
    QLabel *m_figures;
    QLabel *m_verdict;
    QLabel *m_alarm;
    bool m_columnsOutgrown = true;
};
