#include "history/curveplot.h"

#include <qcustomplot.h>

#include <cmath>
#include <iterator>

namespace {

constexpr int ForwardStroke = 0;
constexpr double GoldenAngleDegrees = 137.508;
const QColor Palette[] = {QColor(0, 90, 200),  QColor(200, 40, 40),  QColor(0, 140, 70),
                          QColor(230, 140, 0), QColor(120, 60, 170), QColor(0, 160, 170),
                          QColor(170, 110, 40), QColor(220, 60, 150), QColor(90, 90, 90),
                          QColor(130, 160, 0)};
// The legend's row takes what it needs, the axes the rest.
constexpr double LegendRowStretch = 0.001;

QCPGraph *graphFor(QCustomPlot *plot, const QColor &colour, Qt::PenStyle style)
{
    QCPGraph *graph = plot->addGraph();
    QPen pen(colour);
    pen.setStyle(style);
    pen.setWidthF(1.5);
    graph->setPen(pen);
    return graph;
}

} // namespace

namespace CurvePlot {

void setUp(QCustomPlot *plot)
{
    plot->clearGraphs();
    plot->clearItems();
    plot->xAxis->setLabel(QCoreApplication::translate("MainWindow", "Distance (mm)"));
    plot->yAxis->setLabel(QCoreApplication::translate("MainWindow", "Force (N)"));
    plot->legend->setVisible(true);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
}

void addTest(QCustomPlot *plot, const StoredTest &test, const QColor &colour, const QString &name)
{
    QCPGraph *forward = graphFor(plot, colour, Qt::SolidLine);
    QCPGraph *back = graphFor(plot, colour, Qt::DashLine);
    QVector<double> keys[2], values[2];
    for (const RecordedPoint &point : test.points) {
        const int stroke = point.stroke == ForwardStroke ? 0 : 1;
        keys[stroke] << point.distance;
        values[stroke] << point.force;
    }
    forward->setData(keys[0], values[0]);
    back->setData(keys[1], values[1]);
    forward->setName(name);
    // One legend entry per test: the dashed line is its return stroke.
    back->removeFromLegend();
}

QColor distinctColour(int index)
{
    const int known = int(std::size(Palette));
    if (index < known)
        return Palette[index];
    return QColor::fromHsv(int(std::fmod((index - known) * GoldenAngleDegrees, 360.0)), 200, 190);
}

void putLegendBelow(QCustomPlot *plot)
{
    QCPLayoutGrid *layout = plot->plotLayout();
    if (plot->legend->layout() == layout)
        return;
    // The grid takes the legend out of the axis rect's inset layout.
    layout->addElement(layout->rowCount(), 0, plot->legend);
    plot->legend->setFillOrder(QCPLegend::foColumnsFirst);
    layout->setRowStretchFactor(layout->rowCount() - 1, LegendRowStretch);
    plot->legend->setMargins(QMargins(0, 0, 0, 0));
    plot->legend->setBorderPen(Qt::NoPen);
}

} // namespace CurvePlot
