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

using SchemaSql::Dialect;

// What each row of the one statement is: its first column says, its second
// is the point, its third the subgroup or the force, the figures follow.
enum RowKind { SummaryRow = 0, SubgroupRow = 1, ForceRow = 2 };
// The columns after the kind, the point and the subgroup or force: the
// summary's ten figures; shorter rows are padded with NULL.
constexpr int FigureColumns = 10;

// The point results of the filter's tests (alias r; `more` narrows them),
// each with its test's place in test order (o: the time each test started,
// then its id), as the rows every figure is read from. An aborted test is
// no spring measured, whatever rows it may hold. The tests are numbered in
// the order the index on the part number already holds them, so that the
// subgroups' numbering sorts integers, not texts in the database's
// collation. PostgreSQL is made to read each test's few results from their
// index (the fence keeps the subquery apart): left to itself it would hash
// every point result on record to match a tenth of them.
QString pointRows(Dialect dialect, const SqlCondition &condition, const QString &more)
{
    const QString tests =
        QStringLiteral("(SELECT t.%1, ROW_NUMBER() OVER (ORDER BY t.%2, t.%1) AS o FROM %3 t "
                       "WHERE (%4) AND t.%5 <> '%6') t")
            .arg(name(Tests::id), name(Tests::startedAt), name(Tests::Table), condition.text,
                 name(Tests::status), TestStatus::Aborted);
    const QString ofTest = QStringLiteral("r.%1 = t.%2%3").arg(name(PointResults::testId), name(Tests::id), more);
    const QString results =
        dialect == Dialect::PostgreSQL
            ? QStringLiteral("%1 CROSS JOIN LATERAL (SELECT %2 FROM %3 r WHERE %4 OFFSET 0) r")
                  .arg(tests,
                       SchemaSql::names({PointResults::pointNo, PointResults::force, PointResults::lower,
                                         PointResults::upper},
                                        QStringLiteral("r")),
                       name(PointResults::Table), ofTest)
            : QStringLiteral("%1 JOIN %2 r ON %3").arg(tests, name(PointResults::Table), ofTest);
    return QStringLiteral("SELECT r.%1 AS p, r.%2 AS f, r.%3 AS lo, r.%4 AS up, t.o FROM %5")
        .arg(name(PointResults::pointNo), name(PointResults::force), name(PointResults::lower),
             name(PointResults::upper), results);
}

// The sum of the squared deviations of `force` from its group's mean (alias
// m where the engine has no variance): from the group's own mean, so that
// large forces with a small spread lose nothing to cancellation.
QString squaredDeviations(Dialect dialect, const QString &force, const QString &count)
{
    return dialect == Dialect::PostgreSQL
               ? QStringLiteral("VAR_SAMP(%1) * (%2 - 1)").arg(force, count)
               : QStringLiteral("SUM((%1 - m) * (%1 - m))").arg(force);
}

// `figures` padded with NULL to the summary's width.
QString padded(const QStringList &figures)
{
    QStringList columns = figures;
    while (columns.size() < FigureColumns)
        columns << QStringLiteral("NULL");
    return columns.join(QStringLiteral(", "));
}

// The rows (alias pr) read once, then aggregated three ways: each point's
// figures; its consecutive forces cut into subgroups of `size` (only the
// complete ones); and, when `withForces`, how many tests measured each of
// its forces.
QString seriesStatement(Dialect dialect, const SqlCondition &condition, const QString &more, int size,
                        bool withForces)
{
    const bool postgres = dialect == Dialect::PostgreSQL;
    const QString summaryRows =
        postgres ? QStringLiteral("pr")
                 : QStringLiteral("(SELECT p, f, lo, up, AVG(f) OVER (PARTITION BY p) AS m FROM pr)");
    const QString summary =
        QStringLiteral("SELECT %1, p, NULL, %2 FROM %3 x GROUP BY p")
            .arg(SummaryRow)
            .arg(padded({QStringLiteral("COUNT(f)"), QStringLiteral("COUNT(*) - COUNT(f)"), QStringLiteral("AVG(f)"),
                         squaredDeviations(dialect, QStringLiteral("f"), QStringLiteral("COUNT(f)")),
                         QStringLiteral("MIN(f)"), QStringLiteral("MAX(f)"), QStringLiteral("MIN(lo)"),
                         QStringLiteral("MAX(lo)"), QStringLiteral("MIN(up)"), QStringLiteral("MAX(up)")}),
                 summaryRows);
    const QString numbered =
        QStringLiteral("SELECT p, f, (ROW_NUMBER() OVER (PARTITION BY p ORDER BY o) - 1) / %1 AS k "
                       "FROM pr WHERE f IS NOT NULL")
            .arg(size);
    const QString subgroupRows =
        postgres ? QStringLiteral("(%1)").arg(numbered)
                 : QStringLiteral("(SELECT p, f, k, AVG(f) OVER (PARTITION BY p, k) AS m FROM (%1) a)").arg(numbered);
    QString statement =
        QStringLiteral("WITH pr AS (%1) %2 UNION ALL SELECT %3, p, k, %4 FROM %5 b GROUP BY p, k HAVING COUNT(*) = %6")
            .arg(pointRows(dialect, condition, more), summary)
            .arg(SubgroupRow)
            .arg(padded({QStringLiteral("AVG(f)"),
                         squaredDeviations(dialect, QStringLiteral("f"), QStringLiteral("COUNT(*)"))}),
                 subgroupRows)
            .arg(size);
    if (withForces) {
        statement += QStringLiteral(" UNION ALL SELECT %1, p, f, %2 FROM pr WHERE f IS NOT NULL GROUP BY p, f")
                         .arg(ForceRow)
                         .arg(padded({QStringLiteral("COUNT(*)")}));
    }
    return statement + QStringLiteral(" ORDER BY 1, 2, 3");
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
          QVector<PointSeries> *points, QString *error, std::optional<int> onlyPoint, Forces forces)
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

    QSqlQuery query(db);
    if (!SchemaSql::exec(&query,
                         seriesStatement(SchemaSql::dialectOf(db), condition, more, subgroupSize,
                                         forces == Forces::Counted),
                         condition.values))
        return SchemaSql::failed(query, error);
    // The rows come by kind, then point: every summary before the rows of
    // its point.
    constexpr int Key = 2;
    constexpr int Figure = 3;
    QHash<int, int> indexOf;
    while (query.next()) {
        const int pointNo = query.value(1).toInt();
        const int kind = query.value(0).toInt();
        if (kind == SummaryRow) {
            PointSeries series;
            BatchStatistics::PointSummary &s = series.summary;
            s.pointNo = pointNo;
            s.n = query.value(Figure).toInt();
            s.notReached = query.value(Figure + 1).toInt();
            s.subgroupSize = subgroupSize;
            if (s.n > 0) {
                s.mean = query.value(Figure + 2).toDouble();
                s.minimum = query.value(Figure + 4).toDouble();
                s.maximum = query.value(Figure + 5).toDouble();
            }
            s.standardDeviation = sampleDeviation(query.value(Figure + 3), s.n);
            const double lower = query.value(Figure + 6).toDouble();
            const double upper = query.value(Figure + 8).toDouble();
            s.limitsDiffer = lower != query.value(Figure + 7).toDouble() || upper != query.value(Figure + 9).toDouble();
            if (!s.limitsDiffer && upper > lower) {
                s.lower = lower;
                s.upper = upper;
            }
            indexOf.insert(s.pointNo, points->size());
            points->append(series);
            continue;
        }
        const auto index = indexOf.constFind(pointNo);
        if (index == indexOf.constEnd())
            continue;
        PointSeries &series = (*points)[*index];
        if (kind == SubgroupRow) {
            Spc::Subgroup subgroup;
            subgroup.mean = query.value(Figure).toDouble();
            subgroup.sd = sampleDeviation(query.value(Figure + 1), subgroupSize).value_or(0);
            series.subgroups.append(subgroup);
        } else if (kind == ForceRow) {
            series.forces.append({query.value(Key).toDouble(), query.value(Figure).toInt()});
        }
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

} // namespace PointSeriesQuery
