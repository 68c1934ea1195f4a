#pragma once

#include "curves/testcurves.h"

class QCustomPlot;

// The plot's graphs 0 and 1 as a view of the test's curves: they show the
// stroke of the same index, sorted by distance as QCustomPlot draws them.
class CurvePlotView
{
public:
    explicit CurvePlotView(QCustomPlot *plot);

    // Shows one more point of a stroke. The drawing is queued, so all points
    // that arrive in one pass of the event loop share one replot; a replot
    // per point would redraw the whole curve each time and fall behind the
    // line once the curves are long.
    void append(TestCurves::Stroke stroke, double distance, double force);

    // Replaces what both graphs show by the curves; the caller replots.
    void show(const TestCurves &curves);

private:
    QCustomPlot *m_plot;
};
