#include "widgets/limitmarkers.h"

#include "widgets/verdictstyle.h"

#include <qcustomplot.h>

namespace {

constexpr double BandPenWidth = 3;
constexpr double BandEndWidth = 12;
constexpr double MeasuredMarkerSize = 9;
constexpr int LabelGap = 4; // px between the band's top and its number

} // namespace

LimitMarkers::LimitMarkers(QCustomPlot *plot)
    : m_plot(plot)
{
}

void LimitMarkers::clear()
{
    for (const Marker &marker : qAsConst(m_markers)) {
        m_plot->removeItem(marker.band);
        m_plot->removeItem(marker.measured);
        m_plot->removeItem(marker.label);
    }
    m_markers.clear();
}

void LimitMarkers::show(const Evaluation &evaluation)
{
    if (m_markers.size() != evaluation.points.size()) {
        clear();
        for (int i = 0; i < evaluation.points.size(); ++i) {
            Marker marker;
            marker.band = new QCPItemLine(m_plot);
            marker.band->setHead(QCPLineEnding(QCPLineEnding::esBar, BandEndWidth));
            marker.band->setTail(QCPLineEnding(QCPLineEnding::esBar, BandEndWidth));
            marker.measured = new QCPItemTracer(m_plot);
            marker.measured->setStyle(QCPItemTracer::tsCircle);
            marker.measured->setSize(MeasuredMarkerSize);
            marker.label = new QCPItemText(m_plot);
            marker.label->setPositionAlignment(Qt::AlignBottom | Qt::AlignHCenter);
            marker.label->setPadding(QMargins(0, 0, 0, LabelGap));
            m_markers.append(marker);
        }
    }
    for (int i = 0; i < evaluation.points.size(); ++i) {
        const PointResult &point = evaluation.points.at(i);
        const Marker &marker = m_markers.at(i);
        const QColor colour = VerdictStyle::colour(point.verdict);
        marker.band->start->setCoords(point.distance, point.limits.lower);
        marker.band->end->setCoords(point.distance, point.limits.upper);
        marker.band->setPen(QPen(colour, BandPenWidth));
        marker.measured->setVisible(point.force.has_value());
        marker.measured->position->setCoords(point.distance, point.force.value_or(0));
        marker.measured->setPen(QPen(colour, BandPenWidth / 2));
        marker.label->position->setCoords(point.distance, point.limits.upper);
        marker.label->setText(QString::number(point.number));
        marker.label->setColor(colour);
    }
}
