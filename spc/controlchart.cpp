#include "spc/controlchart.h"

#include "spc/capability.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Spc {

namespace {

double meanOf(const QVector<double> &values)
{
    return std::accumulate(values.cbegin(), values.cend(), 0.0) / values.size();
}

void individuals(const QVector<Subgroup> &subgroups, ControlChart *chart)
{
    double rangeSum = 0;
    for (int i = 0; i < subgroups.size(); ++i) {
        chart->location.append(subgroups.at(i).mean);
        if (i == 0) {
            chart->spread.append(std::nullopt);
            continue;
        }
        const double range = std::abs(subgroups.at(i).mean - subgroups.at(i - 1).mean);
        chart->spread.append(range);
        rangeSum += range;
    }
    if (subgroups.size() < 2)
        return;
    const double meanRange = rangeSum / (subgroups.size() - 1);
    const double center = meanOf(chart->location);
    chart->meanSpread = meanRange;
    chart->locationLimits = ChartLine{center, center + MovingRange::E2 * meanRange,
                                      center - MovingRange::E2 * meanRange};
    chart->spreadLimits = ChartLine{meanRange, MovingRange::D4 * meanRange, 0};
}

void subgroupMeans(const QVector<Subgroup> &subgroups, const SubgroupConstants &constants,
                   ControlChart *chart)
{
    QVector<double> deviations;
    for (const Subgroup &subgroup : subgroups) {
        chart->location.append(subgroup.mean);
        chart->spread.append(subgroup.sd);
        deviations.append(subgroup.sd);
    }
    if (subgroups.isEmpty())
        return;
    const double grandMean = meanOf(chart->location);
    const double meanSd = meanOf(deviations);
    chart->meanSpread = meanSd;
    chart->locationLimits = ChartLine{grandMean, grandMean + constants.a3 * meanSd,
                                      grandMean - constants.a3 * meanSd};
    chart->spreadLimits = ChartLine{meanSd, constants.b4 * meanSd, constants.b3 * meanSd};
}

} // namespace

QVector<Subgroup> subgroupsOf(const QVector<double> &values, int size)
{
    QVector<Subgroup> subgroups;
    if (size < MinSubgroupSize || size > MaxSubgroupSize)
        return subgroups;
    for (int start = 0; start + size <= values.size(); start += size) {
        const QVector<double> members = values.mid(start, size);
        const double mean = meanOf(members);
        double squares = 0;
        for (double x : members)
            squares += (x - mean) * (x - mean);
        subgroups.append({mean, size > 1 ? std::sqrt(squares / (size - 1)) : 0.0});
    }
    return subgroups;
}

std::optional<QVector<Subgroup>> subgroupsOfCuts(QVector<Cut> cuts, int size)
{
    std::sort(cuts.begin(), cuts.end(), [](const Cut &a, const Cut &b) { return a.number < b.number; });
    qint64 last = -1;
    for (const Cut &cut : qAsConst(cuts)) {
        if (cut.values > 0)
            last = cut.number;
    }
    QVector<Subgroup> subgroups;
    qint64 expected = 0;
    for (const Cut &cut : qAsConst(cuts)) {
        if (cut.number > last)
            break;
        const bool full = cut.values == size;
        if (cut.number != expected || (!full && cut.number < last))
            return std::nullopt;
        if (full)
            subgroups.append({cut.mean, cut.sd});
        ++expected;
    }
    return subgroups;
}

ControlChart controlChart(const QVector<Subgroup> &subgroups, int subgroupSize,
                          const FrozenLimits *frozen)
{
    ControlChart chart;
    chart.subgroupSize = subgroupSize;
    if (subgroupSize == 1) {
        individuals(subgroups, &chart);
    } else if (const SubgroupConstants *constants = subgroupConstants(subgroupSize)) {
        subgroupMeans(subgroups, *constants, &chart);
    } else {
        return chart;
    }
    if (chart.meanSpread)
        chart.sigmaWithin = withinSigma(subgroupSize, *chart.meanSpread);
    if (frozen && frozen->subgroupSize == subgroupSize) {
        chart.locationLimits = frozen->location;
        chart.spreadLimits = frozen->spread;
        chart.frozen = true;
    }
    return chart;
}

std::optional<FrozenLimits> limitsToFreeze(const ControlChart &basePeriod)
{
    // A base period judged against frozen limits would only copy them.
    if (basePeriod.frozen || !basePeriod.locationLimits || !basePeriod.spreadLimits)
        return std::nullopt;
    FrozenLimits limits;
    limits.subgroupSize = basePeriod.subgroupSize;
    limits.location = *basePeriod.locationLimits;
    limits.spread = *basePeriod.spreadLimits;
    return limits;
}

} // namespace Spc
