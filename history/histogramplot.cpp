#include "history/histogramplot.h"

#include "numbers/numbertext.h"

#include <qcustomplot.h>

#include <algorithm>

namespace {

const QColor BarColour(90, 140, 200);
const QColor LimitColour(200, 0, 0);
const QColor MeanColour(0, 120, 0);
constexpr double HeadroomShare = 1.3;
// Heights as shares of the axis rect, a line of text apart at the plot's
// usual size: limits close together (or a mean near one) would otherwise
// print their labels over one another.
constexpr double LowerLabelHeight = 0.02;
constexpr double UpperLabelHeight = 0.10;
constexpr double MeanLabelHeight = 0.18;

// The label sits beside its line on the side `side` (AlignLeft: text to
// the right of the line), at a height share of the axis rect: inwards, so
// that a label never leaves the plot.
void verticalLine(QCustomPlot *plot, double x, const QColor &colour, Qt::PenStyle style,
                  const QString &label, Qt::Alignment side, double height)
{
    auto *line = new QCPItemStraightLine(plot);
    line->point1->setCoords(x, 0);
    line->point2->setCoords(x, 1);
    QPen pen(colour, 2);
    pen.setStyle(style);
    line->setPen(pen);
    auto *text = new QCPItemText(plot);
    text->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    text->position->setCoords(x, height);
    text->setPositionAlignment(side | Qt::AlignTop);
    text->setPadding(QMargins(3, 1, 3, 1));
    text->setText(label);
    text->setColor(colour);
    text->setBrush(QBrush(Qt::white));
}

} // namespace

namespace HistogramPlot {

void draw(QCustomPlot *plot, const BatchStatistics::Histogram &histogram,
          const BatchStatistics::PointSummary &point, const QString &title)
{
    plot->clearPlottables();
    plot->clearItems();
    plot->legend->setVisible(false);
    plot->xAxis->setLabel(title);
    plot->yAxis->setLabel(QCoreApplication::translate("HistogramPlot", "Tests"));

    auto *bars = new QCPBars(plot->xAxis, plot->yAxis);
    bars->setWidth(histogram.binWidth);
    bars->setPen(QPen(BarColour.darker()));
    bars->setBrush(BarColour);
    QVector<double> centres, counts;
    int highest = 0;
    for (int i = 0; i < histogram.counts.size(); ++i) {
        centres << histogram.start + (i + 0.5) * histogram.binWidth;
        counts << histogram.counts.at(i);
        highest = std::max(highest, histogram.counts.at(i));
    }
    bars->setData(centres, counts);

    if (point.lower)
        verticalLine(plot, *point.lower, LimitColour, Qt::SolidLine,
                     QCoreApplication::translate("HistogramPlot", "LSL %1").arg(NumberText::force(*point.lower)),
                     Qt::AlignLeft, LowerLabelHeight);
    if (point.upper)
        verticalLine(plot, *point.upper, LimitColour, Qt::SolidLine,
                     QCoreApplication::translate("HistogramPlot", "USL %1").arg(NumberText::force(*point.upper)),
                     Qt::AlignRight, UpperLabelHeight);
    if (point.mean)
        verticalLine(plot, *point.mean, MeanColour, Qt::DashLine,
                     QCoreApplication::translate("HistogramPlot", "mean %1").arg(NumberText::force(*point.mean)),
                     Qt::AlignHCenter, MeanLabelHeight);

    if (!histogram.counts.isEmpty()) {
        plot->xAxis->setRange(histogram.start,
                              histogram.start + histogram.counts.size() * histogram.binWidth);
    }
    plot->yAxis->setRange(0, std::max(1.0, highest * HeadroomShare));
    QSharedPointer<QCPAxisTickerFixed> ticker(new QCPAxisTickerFixed);
    ticker->setTickStep(1);
    ticker->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
    plot->yAxis->setTicker(ticker);
}

} // namespace HistogramPlot
