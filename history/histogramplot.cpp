#include "history/histogramplot.h"

#include "numbers/numbertext.h"

#include <qcustomplot.h>

#include <algorithm>

namespace {

const QColor BarColour(90, 140, 200);
const QColor LimitColour(200, 0, 0);
const QColor MeanColour(0, 120, 0);
constexpr double HeadroomShare = 1.3;
const QMargins LabelPadding(3, 1, 3, 1);
// Pixels between two labels of a row, and between rows.
constexpr int LabelGap = 4;
constexpr int RowGap = 2;
const char StackerName[] = "histogramLabelStacker";

// The labels of the limit and mean lines, kept from covering one another:
// once the plot knows its size (on screen and in a report alike), each label
// takes the highest row in which it meets no other label.
class LabelStacker : public QObject
{
public:
    explicit LabelStacker(QCustomPlot *plot)
        : QObject(plot)
        , m_plot(plot)
    {
        setObjectName(QLatin1String(StackerName));
        connect(plot, &QCustomPlot::afterLayout, this, &LabelStacker::stack);
    }

    static LabelStacker *of(QCustomPlot *plot)
    {
        auto *stacker = plot->findChild<LabelStacker *>(QLatin1String(StackerName),
                                                        Qt::FindDirectChildrenOnly);
        return stacker ? stacker : new LabelStacker(plot);
    }

    void clear(int highestCount)
    {
        m_labels.clear();
        m_highest = highestCount;
    }
    void add(QCPItemText *label, double x) { m_labels.append({label, x}); }

private:
    struct Label
    {
        QCPItemText *item;
        double x;
    };

    void stack()
    {
        const QRect rect = m_plot->axisRect()->rect();
        QVector<Label> byLeft = m_labels;
        auto extent = [this](const Label &label) {
            const QFontMetrics metrics(label.item->font());
            const int width = metrics.horizontalAdvance(label.item->text()) + LabelPadding.left()
                              + LabelPadding.right();
            const double line = m_plot->xAxis->coordToPixel(label.x);
            const Qt::Alignment side = label.item->positionAlignment();
            const double left = side & Qt::AlignLeft    ? line
                                : side & Qt::AlignRight ? line - width
                                                        : line - width / 2.0;
            return std::make_pair(left, left + width);
        };
        std::sort(byLeft.begin(), byLeft.end(), [&](const Label &a, const Label &b) {
            return extent(a).first < extent(b).first;
        });
        QVector<double> rowEnds;
        double labelsBottom = rect.top();
        for (const Label &label : byLeft) {
            const auto [left, right] = extent(label);
            int row = 0;
            while (row < rowEnds.size() && rowEnds.at(row) + LabelGap > left)
                ++row;
            if (row == rowEnds.size())
                rowEnds.append(right);
            else
                rowEnds[row] = right;
            const int height = QFontMetrics(label.item->font()).height() + LabelPadding.top()
                               + LabelPadding.bottom();
            const double top = rect.top() + RowGap + row * (height + RowGap);
            label.item->position->setCoords(label.x, top);
            labelsBottom = std::max(labelsBottom, top + height);
        }
        // The highest bar stays below the labels.
        const double free = rect.bottom() - labelsBottom - RowGap;
        if (free > 0) {
            const double upper = m_highest * rect.height() / free;
            m_plot->yAxis->setRange(0, std::max({1.0, m_highest * HeadroomShare, upper}));
        }
    }

    QCustomPlot *m_plot;
    QVector<Label> m_labels;
    int m_highest = 0;
};

// The label sits beside its line on the side `side` (AlignLeft: text to
// the right of the line), inwards, so that a label never leaves the plot.
void verticalLine(QCustomPlot *plot, double x, const QColor &colour, Qt::PenStyle style,
                  const QString &label, Qt::Alignment side)
{
    auto *line = new QCPItemStraightLine(plot);
    line->point1->setCoords(x, 0);
    line->point2->setCoords(x, 1);
    QPen pen(colour, 2);
    pen.setStyle(style);
    line->setPen(pen);
    auto *text = new QCPItemText(plot);
    // Across in plot coordinates, down in pixels: the stacker places it.
    text->position->setTypeY(QCPItemPosition::ptAbsolute);
    text->position->setCoords(x, 0);
    text->setPositionAlignment(side | Qt::AlignTop);
    text->setPadding(LabelPadding);
    text->setText(label);
    text->setColor(colour);
    text->setBrush(QBrush(Qt::white));
    LabelStacker::of(plot)->add(text, x);
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
    LabelStacker::of(plot)->clear(highest);

    if (point.lower)
        verticalLine(plot, *point.lower, LimitColour, Qt::SolidLine,
                     QCoreApplication::translate("HistogramPlot", "LSL %1").arg(NumberText::force(*point.lower)),
                     Qt::AlignLeft);
    if (point.upper)
        verticalLine(plot, *point.upper, LimitColour, Qt::SolidLine,
                     QCoreApplication::translate("HistogramPlot", "USL %1").arg(NumberText::force(*point.upper)),
                     Qt::AlignRight);
    if (point.mean)
        verticalLine(plot, *point.mean, MeanColour, Qt::DashLine,
                     QCoreApplication::translate("HistogramPlot", "mean %1").arg(NumberText::force(*point.mean)),
                     Qt::AlignHCenter);

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
