#pragma once

#include "records/storedtest.h"

#include <QColor>
#include <QString>

class QCustomPlot;

// Drawing recorded tests into a plot: the overlay window and the test
// report share it.
namespace CurvePlot {

// Axes labelled as in the main window, legend on, no graphs.
void setUp(QCustomPlot *plot);
// The test's forward curve as a solid line and its return curve dashed, in
// one colour, named in the legend.
void addTest(QCustomPlot *plot, const StoredTest &test, const QColor &colour, const QString &name);
// Colours that stay apart from one another; the first ones are the main
// window's blue and red turned darker, then a palette, then hues spread
// by the golden angle.
QColor distinctColour(int index);
// The legend in a row of its own under the axes, so that it never covers
// a curve's end or a limit bar.
void putLegendBelow(QCustomPlot *plot);

} // namespace CurvePlot
