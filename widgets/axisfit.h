#pragma once

#include <qcustomplot.h>

// The one rule by which a force–distance plot's axes fit what it shows:
// the span of the visible graphs (and, where asked, of the items such as
// limit markers, and of zero force) with a small margin on each side. The
// live plot's automatic fit, History's overlay, the test report and a
// stored test opened in the window all use it.
namespace AxisFit {

// Share of the span left free on each side.
constexpr double MarginShare = 0.05;
// Half the width given to a span of a single value (one point, or a flat
// curve): 1 mm or 1 N either side.
constexpr double SingleValueHalfWidth = 1.0;

enum Content {
    Graphs = 0x0,
    Items = 0x1,     // the plot's items too: a limit band stays in view
    ZeroForce = 0x2, // zero force too, so that a curve's level reads at a glance
};

// The axis range that shows `span` with the margin.
QCPRange withMargin(const QCPRange &span);

// Sets both axes; an axis with nothing to fit keeps its range. The caller
// replots.
void fit(QCustomPlot *plot, int content = Graphs);

} // namespace AxisFit
