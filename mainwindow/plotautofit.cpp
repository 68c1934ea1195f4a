#include "mainwindow/plotautofit.h"

#include "widgets/axisfit.h"

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
        plot->xAxis->setRange(AxisFit::withMargin(keys));
        plot->yAxis->setRange(AxisFit::withMargin(values));
    }
}

void PlotAutoFit::clearFrame()
{
    framed = false;
    fitted.clear();
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

    AxisFit::Spans spans = AxisFit::spans(plot);
    if (framed)
        spans.include(frameKeys, frameValues);
    // Nothing visible to fit: the axes stay where they are.
    AxisFit::apply(plot, spans);
}
