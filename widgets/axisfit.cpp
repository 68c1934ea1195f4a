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

void Spans::include(const QCPRange &keySpan, const QCPRange &valueSpan)
{
    ::include(&keys, keySpan);
    ::include(&values, valueSpan);
}

Spans spans(const QCustomPlot *plot, int content)
{
    Spans found;
    for (int i = 0; i < plot->graphCount(); ++i) {
        const QCPGraph *graph = plot->graph(i);
        if (!graph->visible())
            continue;
        bool any = false;
        const QCPRange graphKeys = graph->getKeyRange(any);
        if (any)
            include(&found.keys, graphKeys);
        const QCPRange graphValues = graph->getValueRange(any);
        if (any)
            include(&found.values, graphValues);
    }
    if (content & Items) {
        for (int i = 0; i < plot->itemCount(); ++i) {
            if (!plot->item(i)->visible())
                continue;
            for (const QCPItemPosition *position : plot->item(i)->positions()) {
                const QPointF at = position->coords();
                found.include(QCPRange(at.x(), at.x()), QCPRange(at.y(), at.y()));
            }
        }
    }
    if ((content & ZeroForce) && found.values)
        found.values->expand(0.0);
    return found;
}

void apply(QCustomPlot *plot, const Spans &spans)
{
    if (spans.keys)
        plot->xAxis->setRange(withMargin(*spans.keys));
    if (spans.values)
        plot->yAxis->setRange(withMargin(*spans.values));
}

} // namespace AxisFit
