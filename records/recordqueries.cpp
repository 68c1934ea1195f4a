#include "records/recordqueries.h"

#include "records/pointseries.h"
#include "records/schemasql.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>
#include <QVariant>

#include <iterator>

using namespace Schema;
using SchemaSql::name;
using SchemaSql::Row;
using SchemaSql::exec;
using SchemaSql::failed;

namespace {

// The History list's columns, in HistoryColumn's order.
const Column HistoryColumns[] = {
    Tests::id,           Tests::startedAt,     Tests::status,  Tests::operatorName,
    Tests::partNumber,   Tests::batch,         Tests::serialNumber, Tests::programNumber,
    Tests::verdict,      Tests::maxForce,      Tests::gapSeconds,  Tests::forceDecimals,
    Tests::amended,      Tests::gapFrom,       Tests::gapTo,
};
static_assert(std::size(HistoryColumns) == RecordQueries::ColumnSignatures,
              "every History column but the signatures' is a column of tests");

QDateTime timeFromText(const QVariant &value)
{
    if (value.isNull())
        return QDateTime();
    QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    return time.toUTC();
}

std::optional<double> optionalReal(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toDouble();
}

// Reads a test's row; every column of tests is selected.
StoredTest testFromRow(const Row &r)
{
    StoredTest test;
    test.id = r.value(Tests::id).toLongLong();
    TestHeader &h = test.header;
    h.startedAt = timeFromText(r.value(Tests::startedAt));
    test.finishedAt = timeFromText(r.value(Tests::finishedAt));
    test.status = r.value(Tests::status).toString();
    h.identity.operatorName = r.value(Tests::operatorName).toString();
    h.identity.partNumber = r.value(Tests::partNumber).toString();
    h.identity.batch = r.value(Tests::batch).toString();
    h.identity.serialNumber = r.value(Tests::serialNumber).toString();
    h.station = r.value(Tests::station).toString();
    h.stationId = r.value(Tests::stationId).toString();
    h.recordUid = r.value(Tests::recordUid).toString();
    h.setting.mode = r.value(Tests::mode).toInt();
    h.setting.distanceMode = r.value(Tests::distanceMode).toInt();
    h.setting.speed = r.value(Tests::speed).toInt();
    h.setting.distance = r.value(Tests::distance).toFloat();
    h.machineType = r.value(Tests::machineType).toInt();
    // Whatever the row holds, the figures shown stay figures.
    h.forceDecimals = qBound(0, r.value(Tests::forceDecimals).toInt(), RecordQueries::MaxForceDecimals);
    h.line.portName = r.value(Tests::portName).toString();
    h.line.baudRate = r.value(Tests::baudRate).toInt();
    h.line.dataBits = r.value(Tests::dataBits).toInt();
    const QString parity = r.value(Tests::parity).toString();
    h.line.parity = parity.isEmpty() ? 'N' : parity.at(0).toLatin1();
    h.line.stopBits = r.value(Tests::stopBits).toInt();
    h.programId = r.value(Tests::programId).toLongLong();
    h.programVersion = r.value(Tests::programVersion).toInt();
    h.verificationId = r.value(Tests::verificationId).toLongLong();
    const QVariant programNumber = r.value(Tests::programNumber);
    EvaluationRecord &evaluation = test.evaluation;
    evaluation.judged = !programNumber.isNull();
    evaluation.programNumber = programNumber.toInt();
    evaluation.programSource = r.value(Tests::programSource).toString();
    evaluation.programJson = r.value(Tests::program).toString();
    // The column admits only the keys; anything else is no pass.
    evaluation.verdict = Verdicts::fromKey(r.value(Tests::verdict).toString()).value_or(Verdict::Fail);
    evaluation.rateFit = optionalReal(r.value(Tests::rateFit));
    evaluation.maxForce = optionalReal(r.value(Tests::maxForce));
    evaluation.hysteresisPercent = optionalReal(r.value(Tests::hysteresisPercent));
    const std::optional<double> gapSeconds = optionalReal(r.value(Tests::gapSeconds));
    if (gapSeconds) {
        test.gap = LineGap{*gapSeconds, optionalReal(r.value(Tests::gapFrom)),
                           optionalReal(r.value(Tests::gapTo))};
    }
    return test;
}

PointResultRecord pointFromRow(const Row &r)
{
    PointResultRecord point;
    point.pointNo = r.value(PointResults::pointNo).toInt();
    point.distance = r.value(PointResults::distance).toDouble();
    point.force = optionalReal(r.value(PointResults::force));
    point.lower = r.value(PointResults::lower).toDouble();
    point.upper = r.value(PointResults::upper).toDouble();
    point.verdict = Verdicts::fromKey(r.value(PointResults::verdict).toString()).value_or(Verdict::NotReached);
    return point;
}

QString testsSelect(const QString &condition)
{
    return QStringLiteral("SELECT %1 FROM %2 t WHERE %3")
        .arg(SchemaSql::selectList(Tests::Table, QStringLiteral("t")), name(Tests::Table), condition);
}

// The rows of a table that belongs to the tests (point results, rates) of
// the tests the condition selects (alias t), by test and then `order`.
QString childrenSelect(const Column &testId, const Column &order, const QString &condition)
{
    return QStringLiteral("SELECT %1 FROM %2 r JOIN %3 t ON t.%4 = r.%5 WHERE %6 ORDER BY r.%5, r.%7")
        .arg(SchemaSql::selectList(testId.table, QStringLiteral("r")), name(testId.table),
             name(Tests::Table), name(Tests::id), name(testId), condition, name(order));
}

QString pointResultsSelect(const QString &condition)
{
    return childrenSelect(PointResults::testId, PointResults::pointNo, condition);
}

QString ratesSelect(const QString &condition)
{
    return childrenSelect(TestRates::testId, TestRates::segmentNo, condition);
}

RateRecord rateFromRow(const Row &r)
{
    return {r.value(TestRates::fromPoint).toInt(), r.value(TestRates::toPoint).toInt(),
            optionalReal(r.value(TestRates::rate))};
}

RecordsReview::Signature signatureFromRow(const Row &r)
{
    return {r.value(Signatures::testId).toLongLong(), r.value(Signatures::dbUser).toString(),
            timeFromText(r.value(Signatures::at)), r.value(Signatures::meaning).toString(),
            r.value(Signatures::comment).toString()};
}

RecordsReview::Amendment amendmentFromRow(const Row &r)
{
    return {r.value(Amendments::testId).toLongLong(), r.value(Amendments::dbUser).toString(),
            timeFromText(r.value(Amendments::at)),          r.value(Amendments::field).toString(),
            r.value(Amendments::oldValue).toString(),       r.value(Amendments::newValue).toString(),
            r.value(Amendments::reason).toString()};
}

// The signatures and amendments of the tests the condition (on alias t)
// selects, oldest first, each handed to `add` with its test's id.
bool readReview(const QSqlDatabase &db, const QString &condition, const QVariantList &values,
                const std::function<StoredTest *(qint64)> &testOf, QString *error)
{
    QSqlQuery signatures(db);
    if (!exec(&signatures, childrenSelect(Signatures::testId, Signatures::id, condition), values))
        return failed(signatures, error);
    const Row signature(signatures);
    while (signatures.next()) {
        if (StoredTest *test = testOf(signature.value(Signatures::testId).toLongLong()))
            test->signatures.append(signatureFromRow(signature));
    }
    QSqlQuery amendments(db);
    if (!exec(&amendments, childrenSelect(Amendments::testId, Amendments::id, condition), values))
        return failed(amendments, error);
    const Row amendment(amendments);
    while (amendments.next()) {
        if (StoredTest *test = testOf(amendment.value(Amendments::testId).toLongLong()))
            test->amendments.append(amendmentFromRow(amendment));
    }
    return true;
}

QString newestFirst(const QString &alias = QString())
{
    return QStringLiteral(" ORDER BY %1 DESC, %2 DESC")
        .arg(name(Tests::startedAt, alias), name(Tests::id, alias));
}

} // namespace

namespace RecordQueries {

QString historyStatement(const SqlCondition &condition)
{
    // id breaks ties between tests started in the same millisecond (two
    // stations), so the order is the same on every run.
    QVector<Column> columns;
    for (const Column &column : HistoryColumns)
        columns << column;
    // The latest signature and the count, read as the rows are: the index
    // on signatures.test_id keeps them cheap.
    const QString signatures = name(Signatures::Table);
    const QString ofTest = QStringLiteral("FROM %1 s WHERE s.%2 = %3.%4")
                               .arg(signatures, name(Signatures::testId), name(Tests::Table), name(Tests::id));
    const QString latest = QStringLiteral("(SELECT s.%1 || '|' || s.%2 || '|' || s.%3 %4 ORDER BY s.%5 DESC LIMIT 1)")
                               .arg(name(Signatures::meaning), name(Signatures::at), name(Signatures::dbUser), ofTest,
                                    name(Signatures::id));
    const QString count = QStringLiteral("(SELECT COUNT(*) %1)").arg(ofTest);
    return QStringLiteral("SELECT %1, %2, %3 FROM %4 WHERE %5")
               .arg(SchemaSql::names(columns), latest, count, name(Tests::Table), condition.text)
           + newestFirst();
}

QString historyPage(const SqlCondition &condition, int rows, bool afterRow)
{
    SqlCondition page = condition;
    if (afterRow) {
        page.text = QStringLiteral("(%1) AND %2 <= ? AND (%2 < ? OR %3 < ?)")
                        .arg(condition.text, name(Tests::startedAt), name(Tests::id));
    }
    return historyStatement(page) + QStringLiteral(" LIMIT %1").arg(rows);
}

bool loadTest(const QSqlDatabase &db, qint64 id, bool withPoints, StoredTest *test, QString *error,
              int maxPoints)
{
    QSqlQuery query(db);
    if (!exec(&query, testsSelect(name(Tests::id, QStringLiteral("t")) + QStringLiteral(" = ?")), {id}))
        return failed(query, error);
    if (!query.next()) {
        if (error)
            *error = QStringLiteral("no test %1 on record").arg(id);
        return false;
    }
    *test = testFromRow(Row(query));

    QSqlQuery points(db);
    if (!exec(&points, pointResultsSelect(name(Tests::id, QStringLiteral("t")) + QStringLiteral(" = ?")),
             {id}))
        return failed(points, error);
    const Row point(points);
    while (points.next())
        test->evaluation.points.append(pointFromRow(point));

    QSqlQuery rates(db);
    if (!exec(&rates, ratesSelect(name(Tests::id, QStringLiteral("t")) + QStringLiteral(" = ?")), {id}))
        return failed(rates, error);
    const Row rate(rates);
    while (rates.next())
        test->evaluation.rates.append(rateFromRow(rate));

    if (!readReview(db, name(Tests::id, QStringLiteral("t")) + QStringLiteral(" = ?"), {id},
                    [test](qint64) { return test; }, error))
        return false;

    if (!withPoints)
        return true;
    QSqlQuery curve(db);
    if (!exec(&curve,
              QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %4 LIMIT ?")
                  .arg(SchemaSql::names({CurvePoints::stroke, CurvePoints::distance, CurvePoints::force}),
                       name(CurvePoints::Table), name(CurvePoints::testId), name(CurvePoints::seq)),
              {id, qint64(maxPoints) + 1}))
        return failed(curve, error);
    while (curve.next()) {
        if (test->points.size() == maxPoints) {
            test->pointsCut = true;
            break;
        }
        test->points.append(
            {curve.value(0).toInt(), curve.value(1).toDouble(), curve.value(2).toDouble()});
    }
    return true;
}

bool loadTests(const QSqlDatabase &db, const HistoryFilter &filter, QVector<StoredTest> *tests,
               QString *error)
{
    const SqlCondition condition = sqlCondition(filter, QStringLiteral("t"));
    QSqlQuery query(db);
    if (!exec(&query, testsSelect(condition.text) + newestFirst(QStringLiteral("t")), condition.values))
        return failed(query, error);
    tests->clear();
    QHash<qint64, int> rowOfId;
    const Row test(query);
    while (query.next()) {
        rowOfId.insert(test.value(Tests::id).toLongLong(), tests->size());
        tests->append(testFromRow(test));
    }

    QSqlQuery points(db);
    if (!exec(&points, pointResultsSelect(condition.text), condition.values))
        return failed(points, error);
    const Row point(points);
    while (points.next()) {
        const auto row = rowOfId.constFind(point.value(PointResults::testId).toLongLong());
        // A test recorded between the statements is not in the list.
        if (row != rowOfId.constEnd())
            (*tests)[*row].evaluation.points.append(pointFromRow(point));
    }

    QSqlQuery rates(db);
    if (!exec(&rates, ratesSelect(condition.text), condition.values))
        return failed(rates, error);
    const Row rate(rates);
    while (rates.next()) {
        const auto row = rowOfId.constFind(rate.value(TestRates::testId).toLongLong());
        if (row != rowOfId.constEnd())
            (*tests)[*row].evaluation.rates.append(rateFromRow(rate));
    }
    return readReview(db, condition.text, condition.values,
                      [&](qint64 id) {
                          const auto row = rowOfId.constFind(id);
                          return row == rowOfId.constEnd() ? nullptr : &(*tests)[*row];
                      },
                      error);
}

bool testIds(const QSqlDatabase &db, const HistoryFilter &filter, QList<qint64> *ids, QString *error)
{
    const SqlCondition condition = sqlCondition(filter);
    QSqlQuery query(db);
    if (!exec(&query,
             QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(name(Tests::id), name(Tests::Table), condition.text)
                 + newestFirst(),
             condition.values))
        return failed(query, error);
    ids->clear();
    while (query.next())
        ids->append(query.value(0).toLongLong());
    return true;
}

bool countVerdicts(const QSqlDatabase &db, const HistoryFilter &filter, VerdictCounts *counts,
                   QString *error)
{
    const SqlCondition condition = sqlCondition(filter);
    const QString verdict = name(Tests::verdict);
    QSqlQuery query(db);
    if (!exec(&query,
             QStringLiteral("SELECT COUNT(*), "
                            "COALESCE(SUM(CASE WHEN %1 = '%6' AND %4 <> '%5' THEN 1 ELSE 0 END), 0), "
                            "COALESCE(SUM(CASE WHEN %1 = '%7' AND %4 <> '%5' THEN 1 ELSE 0 END), 0), "
                            "COALESCE(SUM(CASE WHEN %4 = '%5' THEN 1 ELSE 0 END), 0) "
                            "FROM %2 WHERE %3")
                 .arg(verdict, name(Tests::Table), condition.text, name(Tests::status),
                      TestStatus::Aborted, Verdicts::key(Verdict::Pass), Verdicts::key(Verdict::Fail)),
             condition.values)
        || !query.next())
        return failed(query, error);
    // An aborted test is no spring judged: it counts neither way.
    counts->count = query.value(0).toInt();
    counts->passed = query.value(1).toInt();
    counts->failed = query.value(2).toInt();
    counts->aborted = query.value(3).toInt();
    return true;
}

bool startedSpan(const QSqlDatabase &db, const HistoryFilter &filter, QDateTime *first,
                 QDateTime *last, QString *error)
{
    const SqlCondition condition = sqlCondition(filter);
    QSqlQuery query(db);
    if (!exec(&query,
             QStringLiteral("SELECT MIN(%1), MAX(%1) FROM %2 WHERE %3")
                 .arg(name(Tests::startedAt), name(Tests::Table), condition.text),
             condition.values)
        || !query.next())
        return failed(query, error);
    *first = timeFromText(query.value(0));
    *last = timeFromText(query.value(1));
    return true;
}

const BatchStatistics::PointSummary *Batch::point(int pointNo) const
{
    for (const BatchStatistics::PointSummary &summary : points) {
        if (summary.pointNo == pointNo)
            return &summary;
    }
    return nullptr;
}

BatchStatistics::Histogram Batch::histogram(int pointNo) const
{
    const BatchStatistics::PointSummary *summary = point(pointNo);
    if (!summary)
        return {};
    return BatchStatistics::histogram(forces.value(pointNo), summary->lower, summary->upper);
}

Spc::ControlChart Batch::chart(int pointNo) const
{
    const auto limits = frozen.constFind(pointNo);
    return Spc::controlChart(subgroups.value(pointNo), subgroupSize,
                             limits == frozen.constEnd() ? nullptr : &*limits);
}

QVector<Spc::Violation> Batch::violations(const Spc::ControlChart &chart) const
{
    if (!chart.locationLimits)
        return {};
    return Spc::violations(chart.location, *chart.locationLimits, rules);
}

bool loadBatch(const QSqlDatabase &db, const HistoryFilter &filter, Batch *batch, QString *error)
{
    batch->filter = filter;
    QVector<PointSeries> series;
    if (!countVerdicts(db, filter, &batch->counts, error)
        || !startedSpan(db, filter, &batch->firstStartedAt, &batch->lastStartedAt, error)
        || !PointSeriesQuery::load(db, filter, batch->subgroupSize, &series, error, std::nullopt,
                                   PointSeriesQuery::Forces::Counted))
        return false;
    batch->points.clear();
    batch->subgroups.clear();
    batch->forces.clear();
    batch->frozen.clear();
    for (const PointSeries &point : qAsConst(series)) {
        batch->points.append(point.summary);
        batch->subgroups.insert(point.summary.pointNo, point.subgroups);
        if (!point.forces.isEmpty())
            batch->forces.insert(point.summary.pointNo, point.forces);
        if (point.frozen)
            batch->frozen.insert(point.summary.pointNo, *point.frozen);
    }
    return true;
}

bool distinctValues(const QSqlDatabase &db, IdentityColumn column, QStringList *values,
                    QString *error)
{
    const QString which = name(column == IdentityColumn::PartNumber ? Tests::partNumber : Tests::batch);
    QSqlQuery query(db);
    if (!exec(&query,
             QStringLiteral("SELECT DISTINCT %1 FROM %2 WHERE %1 <> '' ORDER BY %1")
                 .arg(which, name(Tests::Table)),
             {}))
        return failed(query, error);
    values->clear();
    while (query.next())
        values->append(query.value(0).toString());
    return true;
}

} // namespace RecordQueries
