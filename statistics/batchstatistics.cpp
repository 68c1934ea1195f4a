#include "statistics/batchstatistics.h"

#include "spc/controlchart.h"

#include <QMap>

#include <algorithm>
#include <cmath>

namespace BatchStatistics {

namespace {

// Welford's running mean and sum of squared deviations: one pass, and no
// cancellation when the forces are large and their spread small.
struct Accumulator
{
    int n = 0;
    double mean = 0;
    double squares = 0;
    double minimum = 0;
    double maximum = 0;

    void add(double x)
    {
        ++n;
        const double delta = x - mean;
        mean += delta / n;
        squares += delta * (x - mean);
        minimum = n == 1 ? x : std::min(minimum, x);
        maximum = n == 1 ? x : std::max(maximum, x);
    }
};

struct PointState
{
    Accumulator forces;
    QVector<double> inOrder;
    int notReached = 0;
    bool haveLimits = false;
    bool limitsDiffer = false;
    double lower = 0;
    double upper = 0;
};

void noteLimits(PointState *state, double lower, double upper)
{
    if (!state->haveLimits) {
        state->haveLimits = true;
        state->lower = lower;
        state->upper = upper;
    } else if (state->lower != lower || state->upper != upper) {
        state->limitsDiffer = true;
    }
}

// The limits a summary is judged against: only those every test shares,
// and only a band.
void setLimits(PointSummary *summary, bool differ, double lower, double upper)
{
    summary->limitsDiffer = differ;
    if (!differ && upper > lower) {
        summary->lower = lower;
        summary->upper = upper;
    }
}

PointSummary summary(int pointNo, const PointState &state, int subgroupSize)
{
    PointSummary result;
    result.pointNo = pointNo;
    result.n = state.forces.n;
    result.notReached = state.notReached;
    if (state.haveLimits)
        setLimits(&result, state.limitsDiffer, state.lower, state.upper);
    if (state.forces.n > 0) {
        result.mean = state.forces.mean;
        result.minimum = state.forces.minimum;
        result.maximum = state.forces.maximum;
    }
    if (state.forces.n > 1)
        result.standardDeviation = std::sqrt(state.forces.squares / (state.forces.n - 1));
    result.subgroupSize = subgroupSize;
    if (result.mean) {
        const Spc::ControlChart chart =
            Spc::controlChart(Spc::subgroupsOf(state.inOrder, subgroupSize), subgroupSize);
        result.capability = Spc::capability(*result.mean, result.standardDeviation,
                                            chart.sigmaWithin, result.lower, result.upper);
    }
    return result;
}

} // namespace

QVector<PointSummary> summarise(const QVector<PointSample> &samples, int subgroupSize)
{
    QMap<int, PointState> points;
    for (const PointSample &sample : samples) {
        PointState &state = points[sample.pointNo];
        noteLimits(&state, sample.lower, sample.upper);
        if (sample.force && std::isfinite(*sample.force)) {
            state.forces.add(*sample.force);
            state.inOrder.append(*sample.force);
        } else
            ++state.notReached;
    }
    QVector<PointSummary> result;
    result.reserve(points.size());
    for (auto it = points.cbegin(); it != points.cend(); ++it)
        result.append(summary(it.key(), it.value(), subgroupSize));
    return result;
}

PointSummary summarise(const CountedPoint &point, int subgroupSize)
{
    PointSummary result;
    result.pointNo = point.pointNo;
    result.notReached = point.notReached;
    result.subgroupSize = subgroupSize;
    double sum = 0;
    for (const ForceCount &force : point.forces) {
        result.n += force.count;
        sum += force.force * force.count;
    }
    if (result.n > 0) {
        const double mean = sum / result.n;
        double squares = 0;
        for (const ForceCount &force : point.forces)
            squares += force.count * (force.force - mean) * (force.force - mean);
        result.mean = mean;
        result.minimum = point.forces.first().force;
        result.maximum = point.forces.last().force;
        if (result.n > 1)
            result.standardDeviation = std::sqrt(std::max(0.0, squares) / (result.n - 1));
    }
    setLimits(&result, point.lowestLower != point.highestLower || point.lowestUpper != point.highestUpper,
              point.lowestLower, point.highestUpper);
    return result;
}

namespace {

constexpr double EdgeTolerance = 1e-9;

// Bins of `width` with an edge at `anchor`: from one bin below `lowest` to
// one bin above `highest`, at most MaxOuterBins beyond the anchor's side.
Histogram binsAbout(double anchor, double width, double lowest, double highest,
                    int innerBins)
{
    // Whole bins to the outermost value; a value that lies on an edge but
    // for rounding still gets its spare bin.
    auto binsTo = [width](double distance) {
        return std::min(int(std::floor(distance / width + EdgeTolerance)) + 1, MaxOuterBins);
    };
    const int below = binsTo(anchor - lowest);
    const int above = binsTo(highest - (anchor + innerBins * width));
    Histogram result;
    result.start = anchor - below * width;
    result.binWidth = width;
    result.counts.fill(0, below + innerBins + std::max(above, 0));
    return result;
}

} // namespace

Histogram histogram(const QVector<double> &forces, std::optional<double> lower,
                    std::optional<double> upper)
{
    QVector<ForceCount> counted;
    counted.reserve(forces.size());
    for (double force : forces)
        counted.append({force, 1});
    return histogram(counted, lower, upper);
}

Histogram histogram(const QVector<ForceCount> &forces, std::optional<double> lower,
                    std::optional<double> upper)
{
    std::vector<double> values;
    int counted = 0;
    for (const ForceCount &f : forces) {
        if (std::isfinite(f.force) && f.count > 0) {
            values.push_back(f.force);
            counted += f.count;
        }
    }
    if (lower)
        values.push_back(*lower);
    if (upper)
        values.push_back(*upper);
    if (values.empty())
        return {};

    const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
    const int bins = std::clamp(int(std::ceil(std::sqrt(double(counted)))), MinBins, MaxBins);
    const double span = *highest - *lowest;
    const bool band = lower && upper && *upper > *lower;

    Histogram result;
    if (band) {
        // A whole number of bins between the limits, as many as their share
        // of the whole span asks for.
        const double bandWidth = *upper - *lower;
        const int inner = std::clamp(int(std::lround(bins * bandWidth / span)), 1, MaxBins);
        result = binsAbout(*lower, bandWidth / inner, *lowest, *highest, inner);
    } else if (lower || upper) {
        const double width = span > 0 ? span : std::max(1.0, std::abs(*lowest) * 1e-3);
        result = binsAbout(lower ? *lower : *upper, width / bins, *lowest, *highest, 0);
    } else {
        // No limit to keep on an edge. All forces equal: a span around
        // them (one newton, or a thousandth of large forces), so that the
        // bar has a width to draw.
        double low = *lowest;
        double width = span;
        if (width <= 0) {
            width = std::max(1.0, std::abs(low) * 1e-3);
            low -= width / 2;
        }
        // A little room past the outermost value, so that it falls inside
        // the last bin.
        const double margin = width / (2 * bins);
        result.start = low - margin;
        result.binWidth = (width + 2 * margin) / bins;
        result.counts.fill(0, bins);
    }

    const int last = result.counts.size() - 1;
    for (const ForceCount &f : forces) {
        if (!std::isfinite(f.force) || f.count <= 0)
            continue;
        int bin = int(std::floor((f.force - result.start) / result.binWidth + EdgeTolerance));
        // The band holds both its limits, as the verdict does.
        if (band && f.force == *upper)
            bin = int(std::lround((*upper - result.start) / result.binWidth)) - 1;
        result.counts[std::clamp(bin, 0, last)] += f.count;
    }
    return result;
}

} // namespace BatchStatistics
