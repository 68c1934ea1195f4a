#pragma once

#include "spc/controlconstants.h"

#include <QDateTime>
#include <QString>
#include <QVector>

#include <optional>

// Shewhart control charts of one characteristic, from its tests in the order
// they were tested, grouped into subgroups of consecutive tests:
//   size 2–10: X̄ chart X̿ ± A3·s̄ and s chart B3·s̄ … B4·s̄;
//   size 1:    individuals X̄ ± E2·MR̄ and moving range 0 … D4·MR̄.
// Pure functions; the subgroups themselves come from the database, which
// aggregates them where the rows are.
namespace Spc {

// A complete subgroup: the mean and sample standard deviation (n − 1) of
// its tests. A subgroup of one carries its single value as the mean.
struct Subgroup
{
    double mean = 0;
    double sd = 0;
};

struct ChartLine
{
    double center = 0;
    double upper = 0; // upper control limit
    double lower = 0; // lower control limit
};

// Limits fixed from a base period by a reviewer, so that later tests are
// judged against the process as it was approved rather than against
// themselves.
struct FrozenLimits
{
    int subgroupSize = DefaultSubgroupSize;
    ChartLine location; // X̄ or individuals
    ChartLine spread;   // s or moving range
    // Where they came from, as the record keeps them.
    QDateTime baseFrom;  // the first and last test of the base period (UTC)
    QDateTime baseTo;
    int baseTests = 0;
    QDateTime frozenAt;  // UTC
    QString frozenBy;
};

struct ControlChart
{
    int subgroupSize = 0;
    // One point per subgroup: its mean (X̄) or value (I) …
    QVector<double> location;
    // … and its standard deviation (s) or the moving range to the previous
    // value (MR; none for the first).
    QVector<std::optional<double>> spread;
    // None without enough data: no subgroup, or fewer than two values for
    // a moving range.
    std::optional<ChartLine> locationLimits;
    std::optional<ChartLine> spreadLimits;
    bool frozen = false;
    // s̄ or MR̄ of the points shown and the σ̂ it gives (for Cp and Cpk),
    // whatever limits the chart is judged against.
    std::optional<double> meanSpread;
    std::optional<double> sigmaWithin;
};

// Consecutive values (in test order) as complete subgroups of `size`; an
// incomplete last subgroup is left out. Size 1 gives each value as a
// subgroup of its own. No subgroups for a size outside 1–10.
QVector<Subgroup> subgroupsOf(const QVector<double> &values, int size);

// A run of `size` consecutive tests, as the database aggregates one
// characteristic over them: the cut's number (a test's place in test order,
// from 0, divided by the size), how many of its tests have a value, and
// their mean and sample standard deviation.
struct Cut
{
    qint64 number = 0;
    int values = 0;
    double mean = 0;
    double sd = 0;
};

// The complete subgroups of a characteristic from the cuts of its tests,
// in any order. Subgroups are numbered over the values themselves, so a test
// without a value shifts every later subgroup, which the cuts cannot follow:
// then there are none (nullopt). Unless the short cut is the last holding
// values: every cut before it is full, so they are the subgroups.
std::optional<QVector<Subgroup>> subgroupsOfCuts(QVector<Cut> cuts, int size);

// The chart of these subgroups, with limits from the subgroups themselves,
// or from *frozen when it is given for the same subgroup size.
ControlChart controlChart(const QVector<Subgroup> &subgroups, int subgroupSize,
                          const FrozenLimits *frozen = nullptr);

// The limits a chart of the base period gives, to be frozen; none when the
// base period has no limits (too little data).
std::optional<FrozenLimits> limitsToFreeze(const ControlChart &basePeriod);

} // namespace Spc
