#pragma once

#include "evaluation/evaluation.h"

#include <QVector>

class QCustomPlot;
class QCPItemLine;
class QCPItemText;
class QCPItemTracer;

// On a plot, for each test point: its limit band (a bar from the lower to
// the upper limit at its distance), its number, and a marker at the force
// measured there, all in the colour of its verdict. Plot items, not graphs:
// the plot's graphs stay the curves. The live plot keeps one to follow the
// test; a report draws a stored test's points once and lets the plot own
// the items.
class LimitMarkers
{
public:
    explicit LimitMarkers(QCustomPlot *plot);
    LimitMarkers(const LimitMarkers &) = delete;
    LimitMarkers &operator=(const LimitMarkers &) = delete;

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
