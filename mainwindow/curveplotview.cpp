#include "mainwindow/curveplotview.h"

#include <qcustomplot.h>

CurvePlotView::CurvePlotView(QCustomPlot *plot)
    : m_plot(plot)
{
}

void CurvePlotView::append(TestCurves::Stroke stroke, double distance, double force)
{
    m_plot->graph(stroke)->addData(distance, force);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void CurvePlotView::show(const TestCurves &curves)
{
    for (TestCurves::Stroke stroke : {TestCurves::Forward, TestCurves::Return}) {
        const QVector<TestCurves::Point> sorted = curves.sortedByDistance(stroke);
        QVector<QCPGraphData> data;
        data.reserve(sorted.size());
        for (const TestCurves::Point &point : sorted)
            data.append(QCPGraphData(point.distance, point.force));
        m_plot->graph(stroke)->data()->set(data, true);
    }
}
