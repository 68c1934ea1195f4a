#include "records/teststore.h"

#include "records/recordsdatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>

namespace {

// Rows per INSERT: few statements for many points, and 500 parameters, far
// below either engine's limit.
constexpr int RowsPerInsert = 100;
constexpr int ColumnsPerPoint = 5;

QVariant nullableReal(const std::optional<double> &value)
{
    return value ? QVariant(*value) : QVariant(QVariant::Double);
}

// Qt binds a null string as NULL; these columns hold "" for "not entered".

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

bool TestStore::exec(const QString &statement)
{
    QSqlQuery query(m_db);
    if (query.exec(statement))
        return true;
    m_error = query.lastError().text();
    return false;
}

bool TestStore::insertTest(const TestHeader &header, qint64 *id)
{
    const bool postgres = RecordsDatabase::isPostgres(m_db);
    QSqlQuery query(m_db);
    QString statement = QStringLiteral(
        "INSERT INTO tests (started_at, status, \"operator\", part_number, batch, serial_number, "
        "station, mode, distance_mode, speed, distance, machine_type, force_decimals, port_name, "
        "baud_rate, data_bits, parity, stop_bits) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    if (postgres)
        statement += QStringLiteral(" RETURNING id");
    query.prepare(statement);
    query.addBindValue(timeText(header.startedAt));
    query.addBindValue(TestStatus::Running);
    query.addBindValue(notNull(header.identity.operatorName));
    query.addBindValue(notNull(header.identity.partNumber));
    query.addBindValue(notNull(header.identity.batch));
    query.addBindValue(notNull(header.identity.serialNumber));
    query.addBindValue(notNull(header.station));
    query.addBindValue(header.setting.mode);
    query.addBindValue(header.setting.distanceMode);
    query.addBindValue(header.setting.speed);
    query.addBindValue(static_cast<double>(header.setting.distance));
    query.addBindValue(header.machineType);
    query.addBindValue(header.forceDecimals);
    query.addBindValue(notNull(header.line.portName));
    query.addBindValue(header.line.baudRate);
    query.addBindValue(header.line.dataBits);
    query.addBindValue(QString(QLatin1Char(header.line.parity)));
    query.addBindValue(header.line.stopBits);
    if (!query.exec()) {
        m_error = query.lastError().text();
        return false;
    }
    const QVariant key = postgres ? (query.next() ? query.value(0) : QVariant()) : query.lastInsertId();
    if (!key.isValid()) {
        m_error = QStringLiteral("no id for the new test");
        return false;
    }
    *id = key.toLongLong();
    return true;
}

bool TestStore::appendPoints(qint64 testId, qint64 firstSeq, const RecordedPoint *points, int count)
{
    // Many rows per statement, prepared once per size: both engines then
    // spend their time storing rather than parsing.
    for (int first = 0; first < count; first += RowsPerInsert) {
        const int rows = std::min(count - first, RowsPerInsert);
        QSqlQuery &insert = rows == RowsPerInsert ? m_fullInsert : m_partInsert;
        if (rows != RowsPerInsert || !m_fullInsertPrepared) {
            QString statement =
                QStringLiteral("INSERT INTO curve_points (test_id, stroke, seq, distance, force) VALUES ");
            for (int row = 0; row < rows; ++row)
                statement += row == 0 ? QStringLiteral("(?,?,?,?,?)") : QStringLiteral(",(?,?,?,?,?)");
            insert = QSqlQuery(m_db);
            if (!insert.prepare(statement)) {
                m_error = insert.lastError().text();
                return false;
            }
            m_fullInsertPrepared = m_fullInsertPrepared || rows == RowsPerInsert;
        }
        for (int row = 0; row < rows; ++row) {
            const RecordedPoint &point = points[first + row];
            const int column = row * ColumnsPerPoint;
            insert.bindValue(column, testId);
            insert.bindValue(column + 1, point.stroke);
            insert.bindValue(column + 2, firstSeq + first + row);
            insert.bindValue(column + 3, point.distance);
            insert.bindValue(column + 4, point.force);
        }
        if (!insert.exec()) {
            m_error = insert.lastError().text();
            return false;
        }
    }
    return exec(QStringLiteral("UPDATE tests SET point_count = %1 WHERE id = %2")
                    .arg(firstSeq + count)
                    .arg(testId));
}

bool TestStore::finishTest(qint64 testId, const QDateTime &finishedAt,
                           const EvaluationRecord &evaluation)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "UPDATE tests SET finished_at = ?, status = ?, program_number = ?, program_source = ?, "
        "program = ?, verdict = ?, rate_fit = ?, max_force = ?, hysteresis_percent = ? WHERE id = ?"));
    query.addBindValue(timeText(finishedAt));
    query.addBindValue(TestStatus::Complete);
    const bool judged = evaluation.judged;
    query.addBindValue(judged ? QVariant(evaluation.programNumber) : QVariant(QVariant::Int));
    query.addBindValue(notNull(judged ? evaluation.programSource : QString()));
    query.addBindValue(judged ? QVariant(evaluation.programJson) : QVariant(QVariant::String));
    query.addBindValue(judged ? QVariant(evaluation.verdict) : QVariant(QVariant::String));
    query.addBindValue(nullableReal(evaluation.rateFit));
    query.addBindValue(nullableReal(evaluation.maxForce));
    query.addBindValue(nullableReal(evaluation.hysteresisPercent));
    query.addBindValue(testId);
    if (!query.exec()) {
        m_error = query.lastError().text();
        return false;
    }
    if (!judged)
        return true;

    QSqlQuery point(m_db);
    point.prepare(QStringLiteral("INSERT INTO point_results (test_id, point_no, distance, force, "
                                 "lower, upper, verdict) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (const PointResultRecord &result : evaluation.points) {
        point.addBindValue(testId);
        point.addBindValue(result.pointNo);
        point.addBindValue(result.distance);
        point.addBindValue(nullableReal(result.force));
        point.addBindValue(result.lower);
        point.addBindValue(result.upper);
        point.addBindValue(result.verdict);
        if (!point.exec()) {
            m_error = point.lastError().text();
            return false;
        }
    }
    QSqlQuery rate(m_db);
    rate.prepare(QStringLiteral("INSERT INTO test_rates (test_id, segment_no, from_point, to_point, "
                                "rate) VALUES (?, ?, ?, ?, ?)"));
    int segment = 0;
    for (const RateRecord &result : evaluation.rates) {
        rate.addBindValue(testId);
        rate.addBindValue(++segment);
        rate.addBindValue(result.fromPoint);
        rate.addBindValue(result.toPoint);
        rate.addBindValue(nullableReal(result.rate));
        if (!rate.exec()) {
            m_error = rate.lastError().text();
            return false;
        }
    }
    return true;
}

bool TestStore::markInterrupted(const QString &station, int *count)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("UPDATE tests SET status = ? WHERE status = ? AND station = ?"));
    query.addBindValue(TestStatus::Interrupted);
    query.addBindValue(TestStatus::Running);
    query.addBindValue(station);
    if (!query.exec()) {
        m_error = query.lastError().text();
        return false;
    }
    *count = std::max(0, query.numRowsAffected());
    return true;
}
