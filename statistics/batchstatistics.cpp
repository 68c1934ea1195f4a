#include "statistics/batchstatistics.h"

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

PointSummary summary(int pointNo, const PointState &state)
{
    PointSummary result;
    result.pointNo = pointNo;
    result.n = state.forces.n;
    result.notReached = state.notReached;
    result.limitsDiffer = state.limitsDiffer;
    if (state.forces.n > 0) {
        result.mean = state.forces.mean;
        result.minimum = state.forces.minimum;
        result.maximum = state.forces.maximum;
    }
    if (state.forces.n > 1)
        result.standardDeviation = std::sqrt(state.forces.squares / (state.forces.n - 1));
    if (state.haveLimits && !state.limitsDiffer && state.upper > state.lower) {
        result.lower = state.lower;
        result.upper = state.upper;
    }
    if (result.lower && result.standardDeviation && *result.standardDeviation > 0) {
        const double sigma = *result.standardDeviation;
        const double mean = *result.mean;
        result.cp = (*result.upper - *result.lower) / (6 * sigma);
        result.cpk = std::min(*result.upper - mean, mean - *result.lower) / (3 * sigma);
    }
    return result;
}

} // namespace

QVector<PointSummary> summarise(const QVector<PointSample> &samples)
{
    QMap<int, PointState> points;
    for (const PointSample &sample : samples) {
        PointState &state = points[sample.pointNo];
        noteLimits(&state, sample.lower, sample.upper);
        if (sample.force && std::isfinite(*sample.force))
            state.forces.add(*sample.force);
        else
            ++state.notReached;
    }
    QVector<PointSummary> result;
    result.reserve(points.size());
    for (auto it = points.cbegin(); it != points.cend(); ++it)
        result.append(summary(it.key(), it.value()));
    return result;
}

Histogram histogram(const QVector<double> &forces, std::optional<double> lower,
                    std::optional<double> upper)
{
    std::vector<double> edges;
    for (double force : forces) {
        if (std::isfinite(force))
            edges.push_back(force);
    }
    const int counted = int(edges.size());
    if (lower)
        edges.push_back(*lower);
    if (upper)
        edges.push_back(*upper);
    Histogram result;
    if (edges.empty())
        return result;

    const auto [lowest, highest] = std::minmax_element(edges.begin(), edges.end());
    const int bins = std::clamp(int(std::ceil(std::sqrt(double(counted)))), MinBins, MaxBins);
    double low = *lowest;
    double span = *highest - low;
    // All forces equal and no band: a span around them (one newton, or a
    // thousandth of large forces), so that the bar has a width to draw.
    if (span <= 0) {
        span = std::max(1.0, std::abs(low) * 1e-3);
        low -= span / 2;
    }
    // A little room past the outermost value, so that it falls inside the
    // last bin and the limit lines do not sit on the frame.
    const double margin = span / (2 * bins);
    result.start = low - margin;
    result.binWidth = (span + 2 * margin) / bins;
    result.counts.fill(0, bins);
    for (double force : forces) {
        if (!std::isfinite(force))
            continue;
        const int bin = int(std::floor((force - result.start) / result.binWidth));
        ++result.counts[std::clamp(bin, 0, bins - 1)];
    }
    return result;
}

} // namespace BatchStatistics
