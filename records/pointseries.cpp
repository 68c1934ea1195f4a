#include "records/pointseries.h"

#include "records/controllimitsstore.h"
#include "records/schemasql.h"
#include "records/testrecord.h"

#include <QHash>
#include <QSqlQuery>

#include <cmath>

using namespace Schema;
using SchemaSql::name;

namespace {

// The point results of the filter's tests (alias r, the tests t), as the
// rows the aggregates read. An aborted test is no spring measured, whatever
// rows it may hold.
QString pointRows(const QString &columns, const SqlCondition &condition, const QString &more)
{
    return QStringLiteral("SELECT %1 FROM %2 r JOIN %3 t ON t.%4 = r.%5 WHERE (%6) AND t.%8 <> '%9'%7")
        .arg(columns, name(PointResults::Table), name(Tests::Table), name(Tests::id),
             name(PointResults::testId), condition.text, more, name(Tests::status), TestStatus::Aborted);
}

std::optional<double> optionalReal(const QVariant &value)
{
    return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
}

// The figures of each point in one pass over its rows; the squared
// deviations from the point's own mean, so that large forces with a small
// spread lose nothing to cancellation.
QString summaryStatement(const SqlCondition &condition, const QString &more)
{
    const QString rows = pointRows(
        QStringLiteral("r.%1 AS p, r.%2 AS f, r.%3 AS lo, r.%4 AS up, AVG(r.%2) OVER (PARTITION BY r.%1) AS m")
            .arg(name(PointResults::pointNo), name(PointResults::force), name(PointResults::lower),
                 name(PointResults::upper)),
        condition, more);
    return QStringLiteral("SELECT p, COUNT(f), COUNT(*) - COUNT(f), AVG(f), SUM((f - m) * (f - m)), "
                          "MIN(f), MAX(f), MIN(lo), MAX(lo), MIN(up), MAX(up) FROM (%1) x "
                          "GROUP BY p ORDER BY p")
        .arg(rows);
}

// Consecutive forces of a point numbered in test order (the time each test
// started, then its id), cut into subgroups of `size`; only complete ones.
QString subgroupStatement(const SqlCondition &condition, const QString &more, int size)
{
    const QString numbered = pointRows(
        QStringLiteral("r.%1 AS p, r.%2 AS f, (ROW_NUMBER() OVER (PARTITION BY r.%1 ORDER BY t.%3, t.%4) - 1) / %5 AS k")
            .arg(name(PointResults::pointNo), name(PointResults::force), name(Tests::startedAt),
                 name(Tests::id))
            .arg(size),
        condition, more + QStringLiteral(" AND r.%1 IS NOT NULL").arg(name(PointResults::force)));
    return QStringLiteral("SELECT p, k, AVG(f), SUM((f - m) * (f - m)) FROM "
                          "(SELECT p, f, k, AVG(f) OVER (PARTITION BY p, k) AS m FROM (%1) a) b "
                          "GROUP BY p, k HAVING COUNT(*) = %2 ORDER BY p, k")
        .arg(numbered)
        .arg(size);
}

std::optional<double> sampleDeviation(const QVariant &squares, int n)
{
    if (n < 2 || squares.isNull())
        return std::nullopt;
    return std::sqrt(std::max(0.0, squares.toDouble()) / (n - 1));
}

} // namespace

Spc::ControlChart PointSeries::chart() const
{
    return Spc::controlChart(subgroups, summary.subgroupSize, frozen ? &*frozen : nullptr);
}

namespace PointSeriesQuery {

bool load(const QSqlDatabase &db, const HistoryFilter &filter, int subgroupSize,
          QVector<PointSeries> *points, QString *error, std::optional<int> onlyPoint)
{
    points->clear();
    if (subgroupSize < Spc::MinSubgroupSize || subgroupSize > Spc::MaxSubgroupSize) {
        if (error)
            *error = QStringLiteral("no subgroups of %1").arg(subgroupSize);
        return false;
    }
    SqlCondition condition = sqlCondition(filter, QStringLiteral("t"));
    QString more;
    if (onlyPoint) {
        more = QStringLiteral(" AND r.%1 = ?").arg(name(PointResults::pointNo));
        condition.values << *onlyPoint;
    }

    QSqlQuery summaries(db);
    if (!SchemaSql::exec(&summaries, summaryStatement(condition, more), condition.values))
        return SchemaSql::failed(summaries, error);
    QHash<int, int> indexOf;
    while (summaries.next()) {
        PointSeries series;
        BatchStatistics::PointSummary &s = series.summary;
        s.pointNo = summaries.value(0).toInt();
        s.n = summaries.value(1).toInt();
        s.notReached = summaries.value(2).toInt();
        s.subgroupSize = subgroupSize;
        if (s.n > 0) {
            s.mean = summaries.value(3).toDouble();
            s.minimum = summaries.value(5).toDouble();
            s.maximum = summaries.value(6).toDouble();
        }
        s.standardDeviation = sampleDeviation(summaries.value(4), s.n);
        const double lower = summaries.value(7).toDouble();
        const double upper = summaries.value(9).toDouble();
        s.limitsDiffer = lower != summaries.value(8).toDouble() || upper != summaries.value(10).toDouble();
        if (!s.limitsDiffer && upper > lower) {
            s.lower = lower;
            s.upper = upper;
        }
        indexOf.insert(s.pointNo, points->size());
        points->append(series);
    }

    QSqlQuery subgroups(db);
    if (!SchemaSql::exec(&subgroups, subgroupStatement(condition, more, subgroupSize), condition.values))
        return SchemaSql::failed(subgroups, error);
    while (subgroups.next()) {
        const auto index = indexOf.constFind(subgroups.value(0).toInt());
        if (index == indexOf.constEnd())
            continue; // a test recorded between the statements
        Spc::Subgroup subgroup;
        subgroup.mean = subgroups.value(2).toDouble();
        subgroup.sd = sampleDeviation(subgroups.value(3), subgroupSize).value_or(0);
        (*points)[*index].subgroups.append(subgroup);
    }

    const QString part = filter.partNumber.trimmed();
    for (PointSeries &series : *points) {
        BatchStatistics::PointSummary &s = series.summary;
        // Frozen limits belong to one part number.
        if (!part.isEmpty() && !ControlLimitsStore::inForce(db, part, s.pointNo, &series.frozen, error))
            return false;
        if (s.mean) {
            const Spc::ControlChart chart = Spc::controlChart(series.subgroups, subgroupSize);
            s.capability = Spc::capability(*s.mean, s.standardDeviation, chart.sigmaWithin, s.lower, s.upper);
        }
    }
    return true;
}

bool loadForceCounts(const QSqlDatabase &db, const HistoryFilter &filter,
                     QMap<int, QVector<BatchStatistics::ForceCount>> *forces, QString *error)
{
    forces->clear();
    const SqlCondition condition = sqlCondition(filter, QStringLiteral("t"));
    const QString statement =
        pointRows(QStringLiteral("r.%1, r.%2, COUNT(*)").arg(name(PointResults::pointNo), name(PointResults::force)),
                  condition, QStringLiteral(" AND r.%1 IS NOT NULL GROUP BY r.%2, r.%1 ORDER BY r.%2, r.%1")
                                 .arg(name(PointResults::force), name(PointResults::pointNo)));
    QSqlQuery query(db);
    if (!SchemaSql::exec(&query, statement, condition.values))
        return SchemaSql::failed(query, error);
    while (query.next())
        (*forces)[query.value(0).toInt()].append({query.value(1).toDouble(), query.value(2).toInt()});
    return true;
}

} // namespace PointSeriesQuery
