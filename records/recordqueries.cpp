#include "records/recordqueries.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char TestColumns[] =
    "t.id, t.started_at, t.finished_at, t.status, t.\"operator\", t.part_number, t.batch, "
    "t.serial_number, t.station, t.mode, t.distance_mode, t.speed, t.distance, t.machine_type, "
    "t.force_decimals, t.port_name, t.baud_rate, t.data_bits, t.parity, t.stop_bits, "
    "t.program_number, t.program_source, t.program, t.verdict, t.rate_fit, t.max_force, "
    "t.hysteresis_percent";

bool fail(const QSqlQuery &query, QString *error)
{
    if (error)
        *error = query.lastError().text();
    return false;
}

bool run(QSqlQuery *query, const QString &statement, const QVariantList &values)
{
    query->setForwardOnly(true);
    if (!query->prepare(statement))
        return false;
    for (const QVariant &value : values)
        query->addBindValue(value);
    return query->exec();
}

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

// Reads the columns of TestColumns, in that order.
StoredTest testFromRow(const QSqlQuery &q)
{
    StoredTest test;
    int c = 0;
    test.id = q.value(c++).toLongLong();
    test.header.startedAt = timeFromText(q.value(c++));
    test.finishedAt = timeFromText(q.value(c++));
    test.status = q.value(c++).toString();
    test.header.identity.operatorName = q.value(c++).toString();
    test.header.identity.partNumber = q.value(c++).toString();
    test.header.identity.batch = q.value(c++).toString();
    test.header.identity.serialNumber = q.value(c++).toString();
    test.header.station = q.value(c++).toString();
    test.header.setting.mode = q.value(c++).toInt();
    test.header.setting.distanceMode = q.value(c++).toInt();
    test.header.setting.speed = q.value(c++).toInt();
    test.header.setting.distance = q.value(c++).toFloat();
    test.header.machineType = q.value(c++).toInt();
    test.header.forceDecimals = q.value(c++).toInt();
    test.header.line.portName = q.value(c++).toString();
    test.header.line.baudRate = q.value(c++).toInt();
    test.header.line.dataBits = q.value(c++).toInt();
    const QString parity = q.value(c++).toString();
    test.header.line.parity = parity.isEmpty() ? 'N' : parity.at(0).toLatin1();
    test.header.line.stopBits = q.value(c++).toInt();
    const QVariant programNumber = q.value(c++);
    EvaluationRecord &evaluation = test.evaluation;
    evaluation.judged = !programNumber.isNull();
    evaluation.programNumber = programNumber.toInt();
    evaluation.programSource = q.value(c++).toString();
    evaluation.programJson = q.value(c++).toString();
    evaluation.verdict = q.value(c++).toString();
    evaluation.rateFit = optionalReal(q.value(c++));
    evaluation.maxForce = optionalReal(q.value(c++));
    evaluation.hysteresisPercent = optionalReal(q.value(c++));
    return test;
}

PointResultRecord pointFromRow(const QSqlQuery &q, int first)
{
    PointResultRecord point;
    point.pointNo = q.value(first).toInt();
    point.distance = q.value(first + 1).toDouble();
    point.force = optionalReal(q.value(first + 2));
    point.lower = q.value(first + 3).toDouble();
    point.upper = q.value(first + 4).toDouble();
    point.verdict = q.value(first + 5).toString();
    return point;
}

const char PointColumns[] =
    "r.test_id, r.point_no, r.distance, r.force, r.lower, r.upper, r.verdict";

} // namespace

namespace RecordQueries {

QString historyStatement(const SqlCondition &condition)
{
    // id breaks ties between tests started in the same millisecond (two
    // stations), so the order is the same on every run.
    return QStringLiteral("SELECT id, started_at, status, \"operator\", part_number, batch, "
                          "serial_number, program_number, verdict, max_force, force_decimals "
                          "FROM tests WHERE %1 ORDER BY started_at DESC, id DESC")
        .arg(condition.text);
}

bool loadTest(const QSqlDatabase &db, qint64 id, bool withPoints, StoredTest *test, QString *error)
{
    QSqlQuery query(db);
    if (!run(&query, QStringLiteral("SELECT %1 FROM tests t WHERE t.id = ?").arg(TestColumns), {id}))
        return fail(query, error);
    if (!query.next()) {
        if (error)
            *error = QStringLiteral("no test %1 on record").arg(id);
        return false;
    }
    *test = testFromRow(query);

    QSqlQuery points(db);
    if (!run(&points,
             QStringLiteral("SELECT %1 FROM point_results r WHERE r.test_id = ? ORDER BY r.point_no")
                 .arg(PointColumns),
             {id}))
        return fail(points, error);
    while (points.next())
        test->evaluation.points.append(pointFromRow(points, 1));

    QSqlQuery rates(db);
    if (!run(&rates,
             QStringLiteral("SELECT from_point, to_point, rate FROM test_rates WHERE test_id = ? "
                            "ORDER BY segment_no"),
             {id}))
        return fail(rates, error);
    while (rates.next()) {
        test->evaluation.rates.append(
            {rates.value(0).toInt(), rates.value(1).toInt(), optionalReal(rates.value(2))});
    }

    if (!withPoints)
        return true;
    QSqlQuery curve(db);
    if (!run(&curve,
             QStringLiteral("SELECT stroke, distance, force FROM curve_points WHERE test_id = ? "
                            "ORDER BY seq"),
             {id}))
        return fail(curve, error);
    while (curve.next()) {
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
    if (!run(&query,
             QStringLiteral("SELECT %1 FROM tests t WHERE %2 ORDER BY t.started_at DESC, t.id DESC")
                 .arg(TestColumns, condition.text),
             condition.values))
        return fail(query, error);
    tests->clear();
    QHash<qint64, int> rowOfId;
    while (query.next()) {
        rowOfId.insert(query.value(0).toLongLong(), tests->size());
        tests->append(testFromRow(query));
    }

    QSqlQuery points(db);
    if (!run(&points,
             QStringLiteral("SELECT %1 FROM point_results r JOIN tests t ON t.id = r.test_id "
                            "WHERE %2 ORDER BY r.test_id, r.point_no")
                 .arg(PointColumns, condition.text),
             condition.values))
        return fail(points, error);
    while (points.next()) {
        const auto row = rowOfId.constFind(points.value(0).toLongLong());
        // A test recorded between the statements is not in the list.
        if (row != rowOfId.constEnd())
            (*tests)[*row].evaluation.points.append(pointFromRow(points, 1));
    }

    QSqlQuery rates(db);
    if (!run(&rates,
             QStringLiteral("SELECT r.test_id, r.from_point, r.to_point, r.rate FROM test_rates r "
                            "JOIN tests t ON t.id = r.test_id WHERE %1 "
                            "ORDER BY r.test_id, r.segment_no")
                 .arg(condition.text),
             condition.values))
        return fail(rates, error);
    while (rates.next()) {
        const auto row = rowOfId.constFind(rates.value(0).toLongLong());
        if (row != rowOfId.constEnd()) {
            (*tests)[*row].evaluation.rates.append(
                {rates.value(1).toInt(), rates.value(2).toInt(), optionalReal(rates.value(3))});
        }
    }
    return true;
}

bool countVerdicts(const QSqlDatabase &db, const HistoryFilter &filter, VerdictCounts *counts,
                   QString *error)
{
    const SqlCondition condition = sqlCondition(filter);
    QSqlQuery query(db);
    if (!run(&query,
             QStringLiteral("SELECT COUNT(*), "
                            "COALESCE(SUM(CASE WHEN verdict = 'pass' THEN 1 ELSE 0 END), 0), "
                            "COALESCE(SUM(CASE WHEN verdict = 'fail' THEN 1 ELSE 0 END), 0) "
                            "FROM tests WHERE %1")
                 .arg(condition.text),
             condition.values)
        || !query.next())
        return fail(query, error);
    counts->count = query.value(0).toInt();
    counts->passed = query.value(1).toInt();
    counts->failed = query.value(2).toInt();
    return true;
}

bool startedSpan(const QSqlDatabase &db, const HistoryFilter &filter, QDateTime *first,
                 QDateTime *last, QString *error)
{
    const SqlCondition condition = sqlCondition(filter);
    QSqlQuery query(db);
    if (!run(&query,
             QStringLiteral("SELECT MIN(started_at), MAX(started_at) FROM tests WHERE %1")
                 .arg(condition.text),
             condition.values)
        || !query.next())
        return fail(query, error);
    *first = timeFromText(query.value(0));
    *last = timeFromText(query.value(1));
    return true;
}

bool loadPointSamples(const QSqlDatabase &db, const HistoryFilter &filter,
                      QVector<BatchStatistics::PointSample> *samples, QString *error)
{
    const SqlCondition condition = sqlCondition(filter, QStringLiteral("t"));
    QSqlQuery query(db);
    if (!run(&query,
             QStringLiteral("SELECT r.point_no, r.force, r.lower, r.upper FROM point_results r "
                            "JOIN tests t ON t.id = r.test_id WHERE %1")
                 .arg(condition.text),
             condition.values))
        return fail(query, error);
    samples->clear();
    while (query.next()) {
        BatchStatistics::PointSample sample;
        sample.pointNo = query.value(0).toInt();
        sample.force = optionalReal(query.value(1));
        sample.lower = query.value(2).toDouble();
        sample.upper = query.value(3).toDouble();
        samples->append(sample);
    }
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

bool loadBatch(const QSqlDatabase &db, const HistoryFilter &filter, Batch *batch, QString *error)
{
    batch->filter = filter;
    QVector<BatchStatistics::PointSample> samples;
    if (!countVerdicts(db, filter, &batch->counts, error)
        || !startedSpan(db, filter, &batch->firstStartedAt, &batch->lastStartedAt, error)
        || !loadPointSamples(db, filter, &samples, error))
        return false;
    batch->points = BatchStatistics::summarise(samples);
    batch->forces.clear();
    for (const BatchStatistics::PointSample &sample : samples) {
        if (sample.force)
            batch->forces[sample.pointNo].append(*sample.force);
    }
    return true;
}

bool distinctValues(const QSqlDatabase &db, IdentityColumn column, QStringList *values,
                    QString *error)
{
    const QString name = column == IdentityColumn::PartNumber ? QStringLiteral("part_number")
                                                              : QStringLiteral("batch");
    QSqlQuery query(db);
    if (!run(&query,
             QStringLiteral("SELECT DISTINCT %1 FROM tests WHERE %1 <> '' ORDER BY %1").arg(name),
             {}))
        return fail(query, error);
    values->clear();
    while (query.next())
        values->append(query.value(0).toString());
    return true;
}

} // namespace RecordQueries
