#pragma once

#include <QObject>
#include <QVector>

#include <qcustomplot.h>

// The axis dialog's "AxisAutoSet": while on, the plot's axes fit its
// visible curves with a small margin, and fit again whenever the curves
// change (points arrive, Refresh, Open, a curve shown or hidden). It watches
// the graphs themselves just before each replot, whoever adds the points; a
// drag or zoom by the operator holds until the curves next change.
class PlotAutoFit : public QObject
{
    Q_OBJECT

public:
    // Share of the curves' span left free on each side.
    static constexpr double MarginShare = 0.05;
    // Half the width given to a span of a single value (one point, or a
    // flat curve): 1 mm or 1 N either side.
    static constexpr double SingleValueHalfWidth = 1.0;

    explicit PlotAutoFit(QCustomPlot *plot);

    bool isEnabled() const { return enabled; }
    // Switched on, the next replot fits the axes.
    void setEnabled(bool on);
    // A span the axes always show, beside the curves: a program's distances
    // and limits for the test to come. While the fit is off, the axes show
    // it (with the margin) once, now.
    void setFrame(const QCPRange &keys, const QCPRange &values);
    void clearFrame();

    // The axis range that shows `span` with the margin.
    static QCPRange withMargin(const QCPRange &span);

private:
    // What the fit depends on, per graph; a change means a new fit.
    struct GraphState
    {
        bool visible = false;
        int count = 0;
        double firstKey = 0;
        double lastKey = 0;
        bool operator==(const GraphState &other) const;
    };

    void fitIfChanged();
    QVector<GraphState> graphStates() const;

    QCustomPlot *plot;
    bool enabled = false;
    bool framed = false;
    QCPRange frameKeys;
    QCPRange frameValues;
    QVector<GraphState> fitted;
};
