#include "records/outbox.h"

#include "records/recordqueries.h"
#include "records/recordsdatabase.h"
#include "records/schemasql.h"
#include "records/teststore.h"

#include "settings/applocations.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char FileName[] = "torvelin-outbox.sqlite";
// Why each test is here: the outbox's own, beside the records' tables.
const char ReasonsTable[] = "outbox_reasons";

using namespace Schema;
using SchemaSql::name;

} // namespace

Outbox::Outbox(const QString &connectionName, const QString &stationId, const DatabaseConfig &config)
    : m_connectionName(connectionName)
    , m_stationId(stationId)
    , m_config(config)
{
}

Outbox::~Outbox()
{
    close();
}

void Outbox::close()
{
    if (m_open)
        RecordsDatabase::close(m_connectionName);
    m_open = false;
}

DatabaseConfig Outbox::config()
{
    DatabaseConfig config;
    config.engine = DatabaseConfig::SQLite;
    config.sqlitePath = AppLocations::dataDirectory() + QLatin1Char('/') + QLatin1String(FileName);
    return config;
}

bool Outbox::exists() const
{
    return QFileInfo::exists(m_config.sqlitePath);
}

bool Outbox::open()
{
    if (m_open)
        return true;
    if (!RecordsDatabase::open(m_config, m_connectionName, &m_error))
        return false;
    QSqlQuery create(QSqlDatabase::database(m_connectionName, false));
    if (!create.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (record_uid TEXT PRIMARY KEY, "
                                    "reason TEXT NOT NULL)")
                         .arg(QLatin1String(ReasonsTable)))) {
        m_error = create.lastError().text();
        RecordsDatabase::close(m_connectionName);
        return false;
    }
    m_open = true;
    return true;
}

bool Outbox::testId(const TestHeader &header, qint64 *id)
{
    // The record uid finds the test the outbox has already.
    TestStore store(QSqlDatabase::database(m_connectionName, false));
    if (store.insertTest(header, id))
        return true;
    m_error = store.lastError();
    return false;
}

template<typename Write> bool Outbox::inTransaction(Write write)
{
    m_error.clear();
    if (!open())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.transaction()) {
        m_error = db.lastError().text();
        return false;
    }
    if (write(db) && db.commit())
        return true;
    if (m_error.isEmpty())
        m_error = db.lastError().text();
    db.rollback();
    return false;
}

bool Outbox::addPoints(const TestHeader &header, qint64 firstSeq, const QVector<RecordedPoint> &points)
{
    return inTransaction([&](QSqlDatabase &db) {
        qint64 id = 0;
        if (!testId(header, &id))
            return false;
        TestStore store(db);
        if (store.appendPoints(id, firstSeq, points.constData(), points.size()))
            return true;
        m_error = store.lastError();
        return false;
    });
}

bool Outbox::finish(const TestHeader &header, const QDateTime &finishedAt, const EvaluationRecord &evaluation,
                    const TestEnding &ending)
{
    return inTransaction([&](QSqlDatabase &db) {
        qint64 id = 0;
        if (!testId(header, &id))
            return false;
        TestStore store(db);
        if (store.finishTest(id, finishedAt, evaluation, ending))
            return true;
        m_error = store.lastError();
        return false;
    });
}

bool Outbox::setReason(const TestHeader &header, const QString &reason)
{
    return inTransaction([&](QSqlDatabase &db) {
        qint64 id = 0;
        if (!testId(header, &id))
            return false;
        QSqlQuery query(db);
        query.prepare(QStringLiteral("INSERT OR REPLACE INTO %1 (record_uid, reason) VALUES (?, ?)")
                          .arg(QLatin1String(ReasonsTable)));
        query.addBindValue(header.recordUid);
        query.addBindValue(reason);
        if (query.exec())
            return true;
        m_error = query.lastError().text();
        return false;
    });
}

bool Outbox::count(int *count)
{
    *count = 0;
    if (!exists())
        return true;
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?")
                      .arg(name(Tests::Table), name(Tests::stationId)));
    query.addBindValue(m_stationId);
    if (!query.exec() || !query.next()) {
        m_error = query.lastError().text();
        return false;
    }
    *count = query.value(0).toInt();
    return true;
}

bool Outbox::uids(QStringList *uids)
{
    uids->clear();
    if (!exists())
        return true;
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %1 IS NOT NULL AND %3 = ?")
                      .arg(name(Tests::recordUid), name(Tests::Table), name(Tests::stationId)));
    query.addBindValue(m_stationId);
    if (!query.exec()) {
        m_error = query.lastError().text();
        return false;
    }
    while (query.next())
        uids->append(query.value(0).toString());
    return true;
}

bool Outbox::markInterrupted(const QString &stationId, const QString &hostName, int *count)
{
    *count = 0;
    if (!exists())
        return true;
    if (!open())
        return false;
    TestStore store(QSqlDatabase::database(m_connectionName, false));
    if (store.markInterrupted(stationId, hostName, count))
        return true;
    m_error = store.lastError();
    return false;
}

bool Outbox::next(const QSet<QString> &skip, Waiting *waiting, bool *found)
{
    *found = false;
    if (!exists())
        return true;
    if (!open())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlQuery tests(db);
    tests.setForwardOnly(true);
    tests.prepare(QStringLiteral("SELECT t.%1, t.%2, COALESCE(r.reason, '') FROM %3 t LEFT JOIN %4 r "
                                 "ON r.record_uid = t.%2 WHERE t.%5 <> ? AND t.%6 = ? ORDER BY t.%1")
                      .arg(name(Tests::id), name(Tests::recordUid), name(Tests::Table),
                           QLatin1String(ReasonsTable), name(Tests::status), name(Tests::stationId)));
    tests.addBindValue(TestStatus::Running);
    tests.addBindValue(m_stationId);
    if (!tests.exec()) {
        m_error = tests.lastError().text();
        return false;
    }
    qint64 id = 0;
    while (tests.next()) {
        if (!skip.contains(tests.value(1).toString())) {
            id = tests.value(0).toLongLong();
            waiting->reason = tests.value(2).toString();
            break;
        }
    }
    tests.finish();
    if (id == 0)
        return true;
    if (!RecordQueries::loadTest(db, id, false, &waiting->test, &m_error))
        return false;

    QSqlQuery points(db);
    points.setForwardOnly(true);
    points.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %4")
                       .arg(SchemaSql::names({CurvePoints::seq, CurvePoints::stroke, CurvePoints::distance,
                                              CurvePoints::force}),
                            name(CurvePoints::Table), name(CurvePoints::testId), name(CurvePoints::seq)));
    points.addBindValue(id);
    if (!points.exec()) {
        m_error = points.lastError().text();
        return false;
    }
    waiting->runs.clear();
    while (points.next()) {
        const qint64 seq = points.value(0).toLongLong();
        const RecordedPoint point{points.value(1).toInt(), points.value(2).toDouble(), points.value(3).toDouble()};
        if (waiting->runs.isEmpty()
            || waiting->runs.last().firstSeq + waiting->runs.last().points.size() != seq)
            waiting->runs.append(Waiting::Run{seq, {}});
        waiting->runs.last().points.append(point);
    }
    *found = true;
    return true;
}

bool Outbox::remove(qint64 id)
{
    return inTransaction([&](QSqlDatabase &db) {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("DELETE FROM %1 WHERE record_uid = (SELECT %2 FROM %3 WHERE %4 = ?)")
                          .arg(QLatin1String(ReasonsTable), name(Tests::recordUid), name(Tests::Table),
                               name(Tests::id)));
        query.addBindValue(id);
        if (!query.exec()) {
            m_error = query.lastError().text();
            return false;
        }
        // Its rows first: they refer to it.
        for (const Column &byTest : {CurvePoints::testId, PointResults::testId, TestRates::testId, Tests::id}) {
            query.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(name(byTest.table), name(byTest)));
            query.addBindValue(id);
            if (!query.exec()) {
                m_error = query.lastError().text();
                return false;
            }
        }
        return true;
    });
}
