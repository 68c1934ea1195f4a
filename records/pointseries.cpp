#include "records/pointseries.h"

#include "records/controllimitsstore.h"
#include "records/schemasql.h"
#include "records/testrecord.h"

#include <QHash>
#include <QMap>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>

using namespace Schema;
using SchemaSql::name;

namespace {

using SchemaSql::Dialect;

// The rows of the one statement: a cut of consecutive tests at a point
// (its number, how many tests it has and how many of them a force, their
// mean and squared deviations), or one distinct force at a point with its
// limits and how many tests measured it (no force: the tests that did not
// reach the point).
enum RowKind { CutRow = 0, ForceRow = 1 };
// Its columns.
namespace Cell {
enum { Kind, Point, Cut, Force, Lower, Upper, Rows, Forces, Mean, Squares };
}

// The point results of the filter's tests (alias r; `more` narrows them),
// each with its test's place in test order (o: the time each test started,
// then its id), as the rows every figure is read from. An aborted test is
// no spring measured, whatever rows it may hold. The tests are numbered in
// the order the index on the part number already holds them, so that the
// subgroups' numbering sorts integers, not texts in the database's
// collation. One part's results (`ofOnePart`: `more` names its part number)
// lie together in their index and are matched to the tests by hashing;
// otherwise PostgreSQL is made to read each test's few results by its id
// (the fence keeps the subquery apart): left to itself it would hash every
// point result on record to match a tenth of them.
QString pointRows(Dialect dialect, const SqlCondition &condition, const QString &more, bool ofOnePart)
{
    const QString tests =
        QStringLiteral("(SELECT t.%1, ROW_NUMBER() OVER (ORDER BY t.%2, t.%1) AS o FROM %3 t "
                       "WHERE (%4) AND t.%5 <> '%6') t")
            .arg(name(Tests::id), name(Tests::startedAt), name(Tests::Table), condition.text,
                 name(Tests::status), TestStatus::Aborted);
    const QString ofTest = QStringLiteral("r.%1 = t.%2%3").arg(name(PointResults::testId), name(Tests::id), more);
    const QString results =
        dialect == Dialect::PostgreSQL && !ofOnePart
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

// The sum of the squared deviations of f from its group's mean (m where
// the engine has no variance): from the group's own mean, so that large
// forces with a small spread lose nothing to cancellation.
QString squaredDeviations(Dialect dialect)
{
    return dialect == Dialect::PostgreSQL ? QStringLiteral("VAR_SAMP(f) * (COUNT(f) - 1)")
                                          : QStringLiteral("SUM((f - m) * (f - m))");
}

// Every point's rows (alias pr) aggregated two ways in one reading: cut
// into runs of `size` consecutive tests by their place, and counted by
// distinct force and limits. The counts give each point's figures exactly
// (forces come with the tester's few decimals: a part of any size is a few
// hundred of them); the cuts are its subgroups where no test before the
// last one is without a force. Nothing is sorted: the server hashes both
// at once, and the rows are put in order where they are read. Keeping the
// rows for more than one aggregate, or numbering them per point, costs the
// server more than the aggregates themselves.
QString cutsStatement(Dialect dialect, const SqlCondition &condition, const QString &more, int size,
                      bool ofOnePart)
{
    const QString rows = QStringLiteral("SELECT p, f, lo, up, (o - 1) / %1 AS k FROM (%2) pr")
                             .arg(size)
                             .arg(pointRows(dialect, condition, more, ofOnePart));
    if (dialect == Dialect::PostgreSQL) {
        return QStringLiteral("SELECT GROUPING(k), p, k, f, lo, up, COUNT(*), COUNT(f), AVG(f), %1 FROM (%2) c "
                              "GROUP BY GROUPING SETS ((p, k), (p, f, lo, up))")
            .arg(squaredDeviations(dialect), rows);
    }
    return QStringLiteral("WITH c AS (%1) SELECT %2, p, k, NULL, NULL, NULL, COUNT(*), COUNT(f), AVG(f), %3 "
                          "FROM (SELECT p, f, k, AVG(f) OVER (PARTITION BY p, k) AS m FROM c) a GROUP BY p, k "
                          "UNION ALL SELECT %4, p, NULL, f, lo, up, COUNT(*), COUNT(f), NULL, NULL FROM c "
                          "GROUP BY p, f, lo, up")
        .arg(rows)
        .arg(CutRow)
        .arg(squaredDeviations(dialect))
        .arg(ForceRow);
}

// The complete subgroups of the points `more` names, numbered over each
// point's own forces: for the points whose tests leave gaps.
QString renumberedStatement(Dialect dialect, const SqlCondition &condition, const QString &more, int size,
                            bool ofOnePart)
{
    const QString numbered =
        QStringLiteral("SELECT p, f, (ROW_NUMBER() OVER (PARTITION BY p ORDER BY o) - 1) / %1 AS k FROM (%2) pr "
                       "WHERE f IS NOT NULL")
            .arg(size)
            .arg(pointRows(dialect, condition, more, ofOnePart));
    const QString rows = dialect == Dialect::PostgreSQL
                             ? numbered
                             : QStringLiteral("SELECT p, f, k, AVG(f) OVER (PARTITION BY p, k) AS m FROM (%1) a")
                                   .arg(numbered);
    return QStringLiteral("SELECT p, k, AVG(f), %1 FROM (%2) b GROUP BY p, k HAVING COUNT(*) = %3")
        .arg(squaredDeviations(dialect), rows)
        .arg(size);
}

std::optional<double> sampleDeviation(const QVariant &squares, int n)
{
    if (n < 2 || squares.isNull())
        return std::nullopt;
    return std::sqrt(std::max(0.0, squares.toDouble()) / (n - 1));
}

// One point's rows of counted forces gathered, in any order: each distinct
// force with the limits its tests had and how many tests measured it.
struct Counted
{
    BatchStatistics::CountedPoint point;
    bool haveLimits = false;

    void add(const QVariant &force, int tests, double lower, double upper)
    {
        if (force.isNull())
            point.notReached += tests;
        else
            point.forces.append({force.toDouble(), tests});
        point.lowestLower = haveLimits ? std::min(point.lowestLower, lower) : lower;
        point.highestLower = haveLimits ? std::max(point.highestLower, lower) : lower;
        point.lowestUpper = haveLimits ? std::min(point.lowestUpper, upper) : upper;
        point.highestUpper = haveLimits ? std::max(point.highestUpper, upper) : upper;
        haveLimits = true;
    }

    // The forces in ascending order, each once (tests with other limits may
    // share a force), as a summary and a histogram take them.
    const BatchStatistics::CountedPoint &gathered(int pointNo)
    {
        QVector<BatchStatistics::ForceCount> &forces = point.forces;
        std::sort(forces.begin(), forces.end(),
                  [](const BatchStatistics::ForceCount &a, const BatchStatistics::ForceCount &b) {
                      return a.force < b.force;
                  });
        QVector<BatchStatistics::ForceCount> merged;
        for (const BatchStatistics::ForceCount &force : qAsConst(forces)) {
            if (!merged.isEmpty() && merged.last().force == force.force)
                merged.last().count += force.count;
            else
                merged.append(force);
        }
        forces = merged;
        point.pointNo = pointNo;
        return point;
    }
};

// The subgroups of `renumbered`, numbered over each one's own forces, into
// their series.
bool loadRenumbered(const QSqlDatabase &db, SqlCondition condition, const QString &ofPart,
                    const QVector<int> &renumbered, int size, QVector<PointSeries> *points, QString *error)
{
    QStringList marks;
    for (int point : renumbered) {
        marks << QStringLiteral("?");
        condition.values << point;
    }
    const QString more =
        ofPart + QStringLiteral(" AND r.%1 IN (%2)").arg(name(PointResults::pointNo), marks.join(','));
    QSqlQuery query(db);
    const QString statement =
        renumberedStatement(SchemaSql::dialectOf(db), condition, more, size, !ofPart.isEmpty());
    if (!SchemaSql::exec(&query, statement, condition.values))
        return SchemaSql::failed(query, error);
    QHash<int, QVector<Spc::Cut>> subgroupsOf;
    while (query.next()) {
        subgroupsOf[query.value(0).toInt()].append({query.value(1).toLongLong(), size, query.value(2).toDouble(),
                                                    sampleDeviation(query.value(3), size).value_or(0)});
    }
    for (PointSeries &series : *points) {
        if (!renumbered.contains(series.summary.pointNo))
            continue;
        // Complete and numbered over the forces: none is missing.
        const auto subgroups = Spc::subgroupsOfCuts(subgroupsOf.value(series.summary.pointNo), size);
        series.subgroups = subgroups.value_or(QVector<Spc::Subgroup>());
    }
    return true;
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
    const Dialect dialect = SchemaSql::dialectOf(db);
    // The tests' condition, and the part's where the results are read by it.
    SqlCondition tests = sqlCondition(filter, QStringLiteral("t"));
    // A lab's server reads one part's results where they lie together; a
    // bench's file is read faster by each test's key.
    const QString part = filter.partNumber.trimmed();
    QString ofPart;
    if (!part.isEmpty() && dialect == Dialect::PostgreSQL) {
        ofPart = QStringLiteral(" AND r.%1 = ?").arg(name(PointResults::partNumber));
        tests.values << part;
    }
    SqlCondition condition = tests;
    QString more = ofPart;
    if (onlyPoint) {
        more += QStringLiteral(" AND r.%1 = ?").arg(name(PointResults::pointNo));
        condition.values << *onlyPoint;
    }

    QSqlQuery query(db);
    if (!SchemaSql::exec(&query, cutsStatement(dialect, condition, more, subgroupSize, !ofPart.isEmpty()),
                         condition.values))
        return SchemaSql::failed(query, error);
    // The rows come in no order: each point's are gathered, then put in
    // order.
    QMap<int, Counted> counted;
    QHash<int, QVector<Spc::Cut>> cutsOf;
    while (query.next()) {
        const int pointNo = query.value(Cell::Point).toInt();
        if (query.value(Cell::Kind).toInt() == CutRow) {
            const int n = query.value(Cell::Forces).toInt();
            cutsOf[pointNo].append({query.value(Cell::Cut).toLongLong(), n, query.value(Cell::Mean).toDouble(),
                                    sampleDeviation(query.value(Cell::Squares), n).value_or(0)});
        } else {
            counted[pointNo].add(query.value(Cell::Force), query.value(Cell::Rows).toInt(),
                                 query.value(Cell::Lower).toDouble(), query.value(Cell::Upper).toDouble());
        }
    }
    QVector<int> renumbered;
    for (auto point = counted.begin(); point != counted.end(); ++point) {
        PointSeries series;
        const BatchStatistics::CountedPoint &gathered = point->gathered(point.key());
        series.summary = BatchStatistics::summarise(gathered, subgroupSize);
        if (const auto subgroups = Spc::subgroupsOfCuts(cutsOf.value(point.key()), subgroupSize))
            series.subgroups = *subgroups;
        else
            renumbered << point.key();
        if (forces == Forces::Counted)
            series.forces = gathered.forces;
        points->append(series);
    }
    if (!renumbered.isEmpty() && !loadRenumbered(db, tests, ofPart, renumbered, subgroupSize, points, error))
        return false;

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
