#include "mainwindow/plotautofit.h"

namespace {

void unite(QCPRange *range, bool *any, const QCPRange &part, bool found)
{
    if (!found)
        return;
    if (*any)
        range->expand(part);
    else
        *range = part;
    *any = true;
}

} // namespace

PlotAutoFit::PlotAutoFit(QCustomPlot *plot)
    : QObject(plot)
    , plot(plot)
{
    connect(plot, &QCustomPlot::beforeReplot, this, &PlotAutoFit::fitIfChanged);
}

void PlotAutoFit::setEnabled(bool on)
{
    enabled = on;
    fitted.clear();
}

void PlotAutoFit::setFrame(const QCPRange &keys, const QCPRange &values)
{
    framed = true;
    frameKeys = keys;
    frameValues = values;
    fitted.clear();
    if (!enabled) {
        plot->xAxis->setRange(withMargin(keys));
        plot->yAxis->setRange(withMargin(values));
    }
}

void PlotAutoFit::clearFrame()
{
    framed = false;
    fitted.clear();
}

QCPRange PlotAutoFit::withMargin(const QCPRange &span)
{
    const double size = span.upper - span.lower;
    if (size <= 0)
        return QCPRange(span.lower - SingleValueHalfWidth, span.upper + SingleValueHalfWidth);
    return QCPRange(span.lower - size * MarginShare, span.upper + size * MarginShare);
}

bool PlotAutoFit::GraphState::operator==(const GraphState &other) const
{
    return visible == other.visible && count == other.count && firstKey == other.firstKey
           && lastKey == other.lastKey;
}

QVector<PlotAutoFit::GraphState> PlotAutoFit::graphStates() const
{
    QVector<GraphState> states;
    for (int i = 0; i < plot->graphCount(); ++i) {
        const QCPGraph *graph = plot->graph(i);
        GraphState state;
        state.visible = graph->visible();
        state.count = graph->dataCount();
        if (state.count > 0) {
            state.firstKey = graph->data()->constBegin()->key;
            state.lastKey = (graph->data()->constEnd() - 1)->key;
        }
        states << state;
    }
    return states;
}

void PlotAutoFit::fitIfChanged()
{
    if (!enabled)
        return;
    const QVector<GraphState> states = graphStates();
    if (states == fitted)
        return;
    fitted = states;

    bool anyKeys = framed;
    bool anyValues = framed;
    QCPRange keys = frameKeys;
    QCPRange values = frameValues;
    for (int i = 0; i < plot->graphCount(); ++i) {
        const QCPGraph *graph = plot->graph(i);
        if (!graph->visible())
            continue;
        bool foundKeys = false;
        bool foundValues = false;
        const QCPRange graphKeys = graph->getKeyRange(foundKeys);
        const QCPRange graphValues = graph->getValueRange(foundValues);
        unite(&keys, &anyKeys, graphKeys, foundKeys);
        unite(&values, &anyValues, graphValues, foundValues);
    }
    // Nothing visible to fit: the axes stay where they are.
    if (anyKeys)
        plot->xAxis->setRange(withMargin(keys));
    if (anyValues)
        plot->yAxis->setRange(withMargin(values));
}
