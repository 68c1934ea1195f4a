#pragma once

#include "spc/capability.h"
#include "spc/controlconstants.h"

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
    // Against those limits: Pp, Ppk with the overall standard deviation,
    // Cp, Cpk with the within-subgroup σ̂ of subgroups of subgroupSize
    // consecutive forces (1: the moving range). None without both limits
    // or without a sigma above zero.
    int subgroupSize = Spc::DefaultSubgroupSize;
    Spc::Capability capability;
};

// One summary per point number that occurs, in ascending point order. The
// samples come in test order, which the subgroups follow.
QVector<PointSummary> summarise(const QVector<PointSample> &samples,
                                int subgroupSize = Spc::DefaultSubgroupSize);

// Bins of a histogram of one point's forces.
struct Histogram
{
    double start = 0;     // lower edge of the first bin
    double binWidth = 0;  // every bin is this wide
    QVector<int> counts;  // forces per bin; a force on an edge goes right,
                          // except one on the upper limit, which passes
};

// Bins over the forces and the limits: about the square root of the count
// between MinBins and MaxBins across the values, with both limits on bin
// edges, so that no bar holds forces from both sides of a limit line; the
// bins reach past the outermost force or limit on either side. Forces
// further out than MaxOuterBins bins beyond a limit (a broken spring among
// good ones) are counted in the outermost bin. No forces and no limits give
// no bins.
constexpr int MinBins = 5;
constexpr int MaxBins = 30;
constexpr int MaxOuterBins = 15;
Histogram histogram(const QVector<double> &forces, std::optional<double> lower,
                    std::optional<double> upper);
// The same from each distinct force and how many tests measured it, as the
// database counts them: forces come with the tester's few decimals, so a
// batch of any size is a few hundred of these.
struct ForceCount
{
    double force = 0;
    int count = 0;
};
Histogram histogram(const QVector<ForceCount> &forces, std::optional<double> lower,
                    std::optional<double> upper);

// One point as the database counts it: each distinct force with how many
// tests measured it (ascending, each force once), the tests that did not
// reach the point, and the lowest and highest limits any of its tests had.
struct CountedPoint
{
    int pointNo = 0;
    QVector<ForceCount> forces;
    int notReached = 0;
    double lowestLower = 0;
    double highestLower = 0;
    double lowestUpper = 0;
    double highestUpper = 0;
};
// Its summary, exact: the mean first, then the squared deviations from it.
// Without the capability, which needs the subgroups in test order.
PointSummary summarise(const CountedPoint &point, int subgroupSize);

} // namespace BatchStatistics
