#pragma once

#include "records/historyfilter.h"
#include "spc/controlchart.h"
#include "statistics/batchstatistics.h"

#include <QSqlDatabase>
#include <QVector>

#include <optional>

// One test point's forces over the tests a filter selects, as the database
// aggregates them where the rows are: the point's figures and the complete
// subgroups of consecutive tests (in the order they were tested), never the
// rows themselves. What the statistics window, the batch report,
// `torvelin-records stats` and the station's alarm judge a process by.
struct PointSeries
{
    // n, not reached, mean, overall s, min, max, the limits the tests share,
    // and the capability (Pp/Ppk and Cp/Cpk with the subgroups' σ).
    BatchStatistics::PointSummary summary;
    // Each complete subgroup's mean and standard deviation; a subgroup of
    // one is its force (standard deviation 0).
    QVector<Spc::Subgroup> subgroups;
    // Limits frozen for the filter's part number at this point, if any.
    std::optional<Spc::FrozenLimits> frozen;
    // Each distinct force and how many tests measured it, in ascending
    // force order, for the histogram (kept only when asked for).
    QVector<BatchStatistics::ForceCount> forces;

    // The control chart, against the frozen limits where they are of this
    // subgroup size, otherwise from the subgroups themselves.
    Spc::ControlChart chart() const;
};

namespace PointSeriesQuery {

// Whether the histograms' force counts are read too.
enum class Forces { Left, Counted };

// Every test point the filter's tests have (or only `onlyPoint`), in point
// order, with subgroups of `subgroupSize` (1–10), all from one reading of
// the point results. False with the database's words in *error.
bool load(const QSqlDatabase &db, const HistoryFilter &filter, int subgroupSize,
          QVector<PointSeries> *points, QString *error, std::optional<int> onlyPoint = std::nullopt,
          Forces forces = Forces::Left);

} // namespace PointSeriesQuery
