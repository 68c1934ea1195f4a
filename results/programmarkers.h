#pragma once

#include "evaluation/evaluation.h"

#include <QVector>

class QCustomPlot;
class QCPItemLine;
class QCPItemText;
class QCPItemTracer;

// On the plot, for each test point: its limit band (a bar from the lower to
// the upper limit at its distance), its number, and a marker at the force
// measured there, all in the colour of its verdict. Plot items, not graphs:
// the plot's two graphs stay the curves.
class ProgramMarkers
{
public:
    explicit ProgramMarkers(QCustomPlot *plot);
    ProgramMarkers(const ProgramMarkers &) = delete;
    ProgramMarkers &operator=(const ProgramMarkers &) = delete;

    // The caller replots.
    void show(const Evaluation &evaluation);
    void clear();

private:
    struct Marker
    {
        QCPItemLine *band = nullptr;
        QCPItemTracer *measured = nullptr;
        QCPItemText *label = nullptr;
    };

    QCustomPlot *m_plot;
    QVector<Marker> m_markers;
};
