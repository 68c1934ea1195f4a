#include "widgets/axisfit.h"

#include <optional>

namespace {

void include(std::optional<QCPRange> *range, const QCPRange &part)
{
    if (*range)
        (*range)->expand(part);
    else
        *range = part;
}

} // namespace

namespace AxisFit {

QCPRange withMargin(const QCPRange &span)
{
    const double size = span.upper - span.lower;
    if (size <= 0)
        return QCPRange(span.lower - SingleValueHalfWidth, span.upper + SingleValueHalfWidth);
    return QCPRange(span.lower - size * MarginShare, span.upper + size * MarginShare);
}

void fit(QCustomPlot *plot, int content)
{
    std::optional<QCPRange> keys;
    std::optional<QCPRange> values;
    for (int i = 0; i < plot->graphCount(); ++i) {
        const QCPGraph *graph = plot->graph(i);
        if (!graph->visible())
            continue;
        bool found = false;
        const QCPRange graphKeys = graph->getKeyRange(found);
        if (found)
            include(&keys, graphKeys);
        const QCPRange graphValues = graph->getValueRange(found);
        if (found)
            include(&values, graphValues);
    }
    if (content & Items) {
        for (int i = 0; i < plot->itemCount(); ++i) {
            if (!plot->item(i)->visible())
                continue;
            for (const QCPItemPosition *position : plot->item(i)->positions()) {
                const QPointF at = position->coords();
                include(&keys, QCPRange(at.x(), at.x()));
                include(&values, QCPRange(at.y(), at.y()));
            }
        }
    }
    if ((content & ZeroForce) && values)
        values->expand(0.0);
    if (keys)
        plot->xAxis->setRange(withMargin(*keys));
    if (values)
        plot->yAxis->setRange(withMargin(*values));
}

} // namespace AxisFit
