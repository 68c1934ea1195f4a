#include "records/teststore.h"

#include "records/recordsdatabase.h"
#include "records/schemasql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace {

// Rows per INSERT: few statements for many points, and 500 parameters, far
// below either engine's limit.
constexpr int RowsPerInsert = 100;

// Neither engine keeps NaN or infinity faithfully (PostgreSQL refuses them
// in a comparison-checked column, SQLite turns NaN into NULL behind our
// back): a figure that is not a number is not known.
QVariant nullableReal(const std::optional<double> &value)
{
    return value && std::isfinite(*value) ? QVariant(*value) : QVariant(QVariant::Double);
}

// The condition that picks one test by its id.
QString byId()
{
    return SchemaSql::name(Schema::Tests::id) + QStringLiteral(" = ?");
}

// An id of 0 is "none", which the column keeps as NULL.
QVariant orNull(qint64 id)
{
    return id > 0 ? QVariant(id) : QVariant(QVariant::LongLong);
}
} // namespace

TestStore::TestStore(const QSqlDatabase &db)
    : m_db(db)
    , m_fullInsert(db)
    , m_partInsert(db)
{
}

QString TestStore::notNull(const QString &text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

QString TestStore::timeText(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

bool TestStore::selectOne(const QString &statement, const QVariantList &bound, QVariant *value, bool *found)
{
    QVariantList values;
    if (!selectRow(statement, bound, &values, found))
        return false;
    if (*found)
        *value = values.value(0);
    return true;
}

bool TestStore::selectRow(const QString &statement, const QVariantList &bound, QVariantList *values, bool *found)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(statement)) {
        m_error = query.lastError();
        return false;
    }
    for (const QVariant &v : bound)
        query.addBindValue(v);
    if (!query.exec()) {
        m_error = query.lastError();
        return false;
    }
    *found = query.next();
    values->clear();
    for (int i = 0; *found && i < query.record().count(); ++i)
        values->append(query.value(i));
    return true;
}

bool TestStore::insertTest(const TestHeader &header, qint64 *id)
{
    namespace T = Schema::Tests;
    // Written before, by a commit whose answer was lost: the test is there.
    if (!header.recordUid.isEmpty()) {
        QVariant existing;
        bool found = false;
        if (!selectOne(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                           .arg(SchemaSql::name(T::id), QLatin1String(T::Table), SchemaSql::name(T::recordUid)),
                       {header.recordUid}, &existing, &found))
            return false;
        if (found) {
            *id = existing.toLongLong();
            return true;
        }
    }
    SchemaSql::Values values;
    values.set(T::startedAt, timeText(header.startedAt))
        .set(T::status, TestStatus::Running)
        .set(T::operatorName, notNull(header.identity.operatorName))
        .set(T::partNumber, notNull(header.identity.partNumber))
        .set(T::batch, notNull(header.identity.batch))
        .set(T::serialNumber, notNull(header.identity.serialNumber))
        .set(T::station, notNull(header.station))
        .set(T::stationId, notNull(header.stationId))
        .set(T::recordUid, header.recordUid.isEmpty() ? QVariant(QVariant::String) : QVariant(header.recordUid))
        .set(T::mode, header.setting.mode)
        .set(T::distanceMode, header.setting.distanceMode)
        .set(T::speed, header.setting.speed)
        .set(T::distance, static_cast<double>(header.setting.distance))
        .set(T::machineType, header.machineType)
        .set(T::forceDecimals, header.forceDecimals)
        .set(T::portName, notNull(header.line.portName))
        .set(T::baudRate, header.line.baudRate)
        .set(T::dataBits, header.line.dataBits)
        .set(T::parity, QString(QLatin1Char(header.line.parity)))
        .set(T::stopBits, header.line.stopBits)
        .set(T::programId, orNull(header.programId))
        .set(T::programVersion, orNull(header.programVersion))
        .set(T::verificationId, orNull(header.verificationId));
    return SchemaSql::insertNumbered(m_db, values, id, &m_error);
}

bool TestStore::storedPointCount(qint64 testId, qint64 *count)
{
    namespace T = Schema::Tests;
    QVariant value;
    bool found = false;
    if (!selectOne(QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                       .arg(SchemaSql::name(T::pointCount), QLatin1String(T::Table), byId()),
                   {testId}, &value, &found))
        return false;
    *count = found ? value.toLongLong() : 0;
    return true;
}

bool TestStore::appendPoints(qint64 testId, qint64 firstSeq, const RecordedPoint *points, int count)
{
    // The points a commit whose answer was lost did write are not written
    // again: (test, seq) is unique, and the retry must not fail on them.
    qint64 stored = 0;
    if (!storedPointCount(testId, &stored))
        return false;
    const qint64 already = std::min<qint64>(count, std::max<qint64>(0, stored - firstSeq));
    if (already == count)
        return true;
    points += already;
    firstSeq += already;
    count -= int(already);

    namespace P = Schema::CurvePoints;
    static const QVector<Schema::Column> columns{P::testId, P::stroke, P::seq, P::distance, P::force};
    // Many rows per statement, prepared once per size: both engines then
    // spend their time storing rather than parsing.
    for (int first = 0; first < count; first += RowsPerInsert) {
        const int rows = std::min(count - first, RowsPerInsert);
        QSqlQuery &insert = rows == RowsPerInsert ? m_fullInsert : m_partInsert;
        if (rows != RowsPerInsert || !m_fullInsertPrepared) {
            insert = QSqlQuery(m_db);
            if (!insert.prepare(SchemaSql::insertStatement(columns, rows))) {
                m_error = insert.lastError();
                return false;
            }
            m_fullInsertPrepared = m_fullInsertPrepared || rows == RowsPerInsert;
        }
        for (int row = 0; row < rows; ++row) {
            const RecordedPoint &point = points[first + row];
            const int column = row * columns.size();
            insert.bindValue(column, testId);
            insert.bindValue(column + 1, point.stroke);
            insert.bindValue(column + 2, firstSeq + first + row);
            insert.bindValue(column + 3, point.distance);
            insert.bindValue(column + 4, point.force);
        }
        if (!insert.exec()) {
            m_error = insert.lastError();
            return false;
        }
    }
    namespace T = Schema::Tests;
    QSqlQuery update(m_db);
    if (!SchemaSql::Values()
             .set(T::pointCount, firstSeq + count)
             .prepare(&update, SchemaSql::updateStatement({T::pointCount}, byId()),
                      {testId})
        || !update.exec()) {
        m_error = update.lastError();
        return false;
    }
    return true;
}

bool TestStore::finishTest(qint64 testId, const QDateTime &finishedAt,
                           const EvaluationRecord &evaluation, const TestEnding &ending)
{
    namespace T = Schema::Tests;
    // Each result carries its test's part number, as the database would put
    // it anyway (the bench's trail would record that as a change).
    QVariantList test;
    bool found = false;
    if (!selectRow(QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                       .arg(SchemaSql::names({T::status, T::partNumber}), QLatin1String(T::Table), byId()),
                   {testId}, &test, &found))
        return false;
    const QVariant status = test.value(0);
    const QString partNumber = test.value(1).toString();
    // Finished already, by a commit whose answer was lost; or interrupted
    // by another start of this station, which keeps it so.
    if (found && status.toString() != TestStatus::Running)
        return true;
    const bool judged = evaluation.judged && !ending.aborted;
    const std::optional<LineGap> &gap = ending.gap;
    SchemaSql::Values values;
    values.set(T::finishedAt, timeText(finishedAt))
        .set(T::status, ending.aborted ? TestStatus::Aborted : TestStatus::Complete)
        .set(T::gapSeconds, gap ? nullableReal(gap->seconds) : QVariant(QVariant::Double))
        .set(T::gapFrom, gap ? nullableReal(gap->fromDistance) : QVariant(QVariant::Double))
        .set(T::gapTo, gap ? nullableReal(gap->toDistance) : QVariant(QVariant::Double))
        .set(T::programNumber, judged ? QVariant(evaluation.programNumber) : QVariant(QVariant::Int))
        .set(T::programSource, notNull(judged ? evaluation.programSource : QString()))
        .set(T::program, judged ? QVariant(evaluation.programJson) : QVariant(QVariant::String))
        .set(T::verdict, judged ? QVariant(Verdicts::key(evaluation.verdict)) : QVariant(QVariant::String))
        .set(T::rateFit, nullableReal(evaluation.rateFit))
        .set(T::maxForce, nullableReal(evaluation.maxForce))
        .set(T::hysteresisPercent, nullableReal(evaluation.hysteresisPercent));
    QSqlQuery query(m_db);
    if (!values.prepare(&query,
                        SchemaSql::updateStatement(values.columns(), byId()),
                        {testId})
        || !query.exec()) {
        m_error = query.lastError();
        return false;
    }
    if (!judged)
        return true;

    for (const PointResultRecord &result : evaluation.points) {
        namespace R = Schema::PointResults;
        SchemaSql::Values row;
        row.set(R::testId, testId)
            .set(R::partNumber, partNumber)
            .set(R::pointNo, result.pointNo)
            .set(R::distance, result.distance)
            .set(R::force, nullableReal(result.force))
            .set(R::lower, result.lower)
            .set(R::upper, result.upper)
            .set(R::verdict, Verdicts::key(result.verdict));
        if (!insert(row))
            return false;
    }
    int segment = 0;
    for (const RateRecord &result : evaluation.rates) {
        namespace R = Schema::TestRates;
        SchemaSql::Values row;
        row.set(R::testId, testId)
            .set(R::segmentNo, ++segment)
            .set(R::fromPoint, result.fromPoint)
            .set(R::toPoint, result.toPoint)
            .set(R::rate, nullableReal(result.rate));
        if (!insert(row))
            return false;
    }
    return true;
}

bool TestStore::insert(const SchemaSql::Values &row)
{
    QSqlQuery query(m_db);
    if (row.prepare(&query, SchemaSql::insertStatement(row.columns())) && query.exec())
        return true;
    m_error = query.lastError();
    return false;
}

bool TestStore::markInterrupted(const QString &stationId, const QString &hostName, int *count,
                                const QStringList &exceptUids)
{
    namespace T = Schema::Tests;
    QSqlQuery query(m_db);
    // Records made before installations had ids are known by host name only.
    QString condition = QStringLiteral("%1 = ? AND (%2 = ? OR (%2 = '' AND %3 = ?))")
                            .arg(SchemaSql::name(T::status), SchemaSql::name(T::stationId),
                                 SchemaSql::name(T::station));
    QVariantList bound{TestStatus::Running, stationId, hostName};
    if (!exceptUids.isEmpty()) {
        QStringList marks;
        for (const QString &uid : exceptUids) {
            marks << QStringLiteral("?");
            bound << uid;
        }
        condition += QStringLiteral(" AND (%1 IS NULL OR %1 NOT IN (%2))")
                         .arg(SchemaSql::name(T::recordUid), marks.join(QStringLiteral(", ")));
    }
    if (!SchemaSql::Values()
             .set(T::status, TestStatus::Interrupted)
             .prepare(&query, SchemaSql::updateStatement({T::status}, condition), bound)
        || !query.exec()) {
        m_error = query.lastError();
        return false;
    }
    *count = std::max(0, query.numRowsAffected());
    return true;
}

bool TestStore::interruptTest(qint64 testId)
{
    namespace T = Schema::Tests;
    QSqlQuery query(m_db);
    if (!SchemaSql::Values()
             .set(T::status, TestStatus::Interrupted)
             .prepare(&query,
                      SchemaSql::updateStatement({T::status}, byId() + QStringLiteral(" AND %1 = ?")
                                                                        .arg(SchemaSql::name(T::status))),
                      {testId, TestStatus::Running})
        || !query.exec()) {
        m_error = query.lastError();
        return false;
    }
    return true;
}
