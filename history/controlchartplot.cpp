#include "history/controlchartplot.h"

#include "numbers/numbertext.h"

#include <qcustomplot.h>

#include <QMap>

#include <algorithm>

namespace {

const QColor PointColour(40, 80, 160);
const QColor CenterColour(0, 120, 0);
const QColor LimitColour(200, 0, 0);
const QColor ViolationColour(200, 0, 0);
constexpr double PointSize = 5;
constexpr double ViolationSize = 9;
// Beyond this many subgroups a disc per point is only ink (and time): the
// line shows the process, the violations keep their marks.
constexpr int DiscedPointsAtMost = 500;
// Room above and below the outermost point or limit.
constexpr double MarginShare = 0.08;
// Above, where violations are marked: room for a label of several rules
// over the highest point.
constexpr double LabelledMarginShare = 0.2;

void horizontalLine(QCustomPlot *plot, double y, const QColor &colour, Qt::PenStyle style,
                    const QString &label)
{
    auto *line = new QCPItemStraightLine(plot);
    line->point1->setCoords(0, y);
    line->point2->setCoords(1, y);
    QPen pen(colour, 1.5);
    pen.setStyle(style);
    line->setPen(pen);
    auto *text = new QCPItemText(plot);
    text->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
    text->position->setCoords(1, y);
    text->setPositionAlignment(Qt::AlignRight | Qt::AlignBottom);
    text->setText(label);
    text->setColor(colour);
    text->setClipToAxisRect(false);
}

} // namespace

namespace ControlChartPlot {

QString halfName(const Spc::ControlChart &chart, Half half)
{
    const bool individuals = chart.subgroupSize == 1;
    if (half == Half::Location)
        return individuals ? QCoreApplication::translate("ControlChartPlot", "I") : QCoreApplication::translate("ControlChartPlot", "X-bar");
    return individuals ? QCoreApplication::translate("ControlChartPlot", "MR") : QCoreApplication::translate("ControlChartPlot", "s");
}

void draw(QCustomPlot *plot, const Spc::ControlChart &chart, Half half,
          const QVector<Spc::Violation> &violations, const QString &title)
{
    plot->clearPlottables();
    plot->clearItems();
    plot->legend->setVisible(false);
    plot->xAxis->setLabel(QCoreApplication::translate("ControlChartPlot", "Subgroup (in test order)"));
    plot->yAxis->setLabel(QCoreApplication::translate("ControlChartPlot", "%1 of %2").arg(halfName(chart, half), title));

    QVector<double> keys, values;
    for (int i = 0; i < chart.location.size(); ++i) {
        const std::optional<double> value =
            half == Half::Location ? std::optional<double>(chart.location.at(i)) : chart.spread.at(i);
        if (!value)
            continue;
        keys << i + 1;
        values << *value;
    }
    auto *points = plot->addGraph();
    points->setPen(QPen(PointColour, 1));
    if (keys.size() <= DiscedPointsAtMost)
        points->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, PointColour, PointSize));
    points->setData(keys, values, true);

    double low = values.isEmpty() ? 0 : *std::min_element(values.cbegin(), values.cend());
    double high = values.isEmpty() ? 1 : *std::max_element(values.cbegin(), values.cend());
    const std::optional<Spc::ChartLine> &limits =
        half == Half::Location ? chart.locationLimits : chart.spreadLimits;
    if (limits) {
        const QString frozen = chart.frozen ? QCoreApplication::translate("ControlChartPlot", " (frozen)") : QString();
        horizontalLine(plot, limits->center, CenterColour, Qt::DashLine,
                       QCoreApplication::translate("ControlChartPlot", "CL %1").arg(NumberText::force(limits->center)));
        horizontalLine(plot, limits->upper, LimitColour, Qt::SolidLine,
                       QCoreApplication::translate("ControlChartPlot", "UCL %1").arg(NumberText::force(limits->upper)) + frozen);
        horizontalLine(plot, limits->lower, LimitColour, Qt::SolidLine,
                       QCoreApplication::translate("ControlChartPlot", "LCL %1").arg(NumberText::force(limits->lower)) + frozen);
        low = std::min(low, limits->lower);
        high = std::max(high, limits->upper);
    }

    if (half == Half::Location && !violations.isEmpty()) {
        // One mark per point, labelled with every rule it breaks.
        QMap<int, QStringList> rulesAt;
        for (const Spc::Violation &violation : violations)
            rulesAt[violation.point] << QString::number(violation.rule);
        auto *marks = plot->addGraph();
        marks->setLineStyle(QCPGraph::lsNone);
        marks->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle,
                                               QPen(ViolationColour, 2), Qt::NoBrush, ViolationSize));
        for (auto it = rulesAt.cbegin(); it != rulesAt.cend(); ++it) {
            const double y = chart.location.at(it.key());
            marks->addData(it.key() + 1, y);
            auto *label = new QCPItemText(plot);
            label->position->setCoords(it.key() + 1, y);
            label->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            label->setPadding(QMargins(0, 0, 0, int(ViolationSize)));
            label->setText(it.value().join(QLatin1Char(',')));
            label->setColor(ViolationColour);
        }
    }

    const double span = high > low ? high - low : std::max(1.0, std::abs(high) * 1e-3);
    const bool labelled = half == Half::Location && !violations.isEmpty();
    plot->yAxis->setRange(low - MarginShare * span,
                          high + (labelled ? LabelledMarginShare : MarginShare) * span);
    plot->xAxis->setRange(0.5, std::max(1, int(chart.location.size())) + 0.5);
}

} // namespace ControlChartPlot
