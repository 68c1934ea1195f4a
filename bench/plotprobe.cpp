#include "bench/plotprobe.h"

#include <qcustomplot.h>

#include <algorithm>

namespace {
constexpr double NanosecondsPerSecond = 1e9;
}

PlotProbe::PlotProbe(QCustomPlot *plot, QObject *parent)
    : QObject(parent)
    , m_plot(plot)
{
    connect(plot, &QCustomPlot::afterReplot, this, &PlotProbe::drawn);
    m_clock.start();
}

int PlotProbe::pointCount(const QCustomPlot *plot)
{
    int count = 0;
    for (int i = 0; i < plot->graphCount(); ++i)
        count += plot->graph(i)->data()->size();
    return count;
}

void PlotProbe::start()
{
    m_samples.clear();
    m_clock.restart();
}

qint64 PlotProbe::firstPointsNs() const
{
    const auto first = std::find_if(m_samples.begin(), m_samples.end(),
                                    [](const Sample &sample) { return sample.points > 0; });
    return first == m_samples.end() ? -1 : first->ns;
}

PlotProbe::Throughput PlotProbe::throughputOf(const std::vector<Sample> &samples, int target)
{
    Throughput result;
    const auto first = std::find_if(samples.begin(), samples.end(),
                                    [](const Sample &sample) { return sample.points > 0; });
    if (first == samples.end())
        return result;
    auto last = std::find_if(first, samples.end(),
                             [target](const Sample &sample) { return sample.points >= target; });
    result.reached = last != samples.end();
    if (!result.reached)
        last = samples.end() - 1;
    result.points = last->points - first->points;
    result.seconds = double(last->ns - first->ns) / NanosecondsPerSecond;
    return result;
}

void PlotProbe::drawn()
{
    m_samples.push_back({m_clock.nsecsElapsed(), pointCount(m_plot)});
}
