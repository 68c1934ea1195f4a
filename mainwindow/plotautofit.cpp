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

    // Nothing visible to fit: the axes stay where they are.
    AxisFit::fit(plot);
}
