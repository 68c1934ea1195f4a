#pragma once

#include <qcustomplot.h>

#include <optional>

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

// What there is to fit along each axis; none where there is nothing.
struct Spans
{
    std::optional<QCPRange> keys;
    std::optional<QCPRange> values;

    void include(const QCPRange &keySpan, const QCPRange &valueSpan);
};

// The axis range that shows `span` with the margin.
QCPRange withMargin(const QCPRange &span);

Spans spans(const QCustomPlot *plot, int content = Graphs);
// Sets both axes to the spans with the margin; an axis with nothing to fit
// keeps its range. The caller replots.
void apply(QCustomPlot *plot, const Spans &spans);
inline void fit(QCustomPlot *plot, int content = Graphs) { apply(plot, spans(plot, content)); }

} // namespace AxisFit
