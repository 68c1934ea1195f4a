#pragma once

#include <QVector>

#include <optional>

// Statistics of a batch of tests, per test point, from the forces measured at
// that point. Pure functions: no database, no widgets.
namespace BatchStatistics {

// One test's result at one test point. A point the stroke never reached has
// no force.
struct PointSample
{
    int pointNo = 0;
    std::optional<double> force;
    double lower = 0;
    double upper = 0;
};

struct PointSummary
{
    int pointNo = 0;
    int n = 0;           // tests with a measured force at this point
    int notReached = 0;  // tests whose stroke never got there
    std::optional<double> mean;
    // Sample standard deviation (divisor n - 1): the batch estimates the
    // process, it is not the whole population. None below two forces.
    std::optional<double> standardDeviation;
    std::optional<double> minimum;
    std::optional<double> maximum;
    // The limits every test of the batch shares at this point; none when
    // they differ between tests (several programs mixed in one filter) or
    // do not form a band (upper not above lower).
    std::optional<double> lower;
    std::optional<double> upper;
    bool limitsDiffer = false;
    // Capability against those limits; none without both limits or without
    // a standard deviation above zero.
    std::optional<double> cp;
    std::optional<double> cpk;
};

// One summary per point number that occurs, in ascending point order.
QVector<PointSummary> summarise(const QVector<PointSample> &samples);

// Bins of a histogram of one point's forces.
struct Histogram
{
    double start = 0;     // lower edge of the first bin
    double binWidth = 0;  // every bin is this wide
    QVector<int> counts;  // forces per bin; a force on an edge goes right
};

// Bins over the forces and the limits (so both limits fall inside the drawn
// range): about the square root of the count, between MinBins and MaxBins.
// No forces and no limits give no bins.
constexpr int MinBins = 5;
constexpr int MaxBins = 30;
Histogram histogram(const QVector<double> &forces, std::optional<double> lower,
                    std::optional<double> upper);

} // namespace BatchStatistics
