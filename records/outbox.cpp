#include "records/outbox.h"

#include "records/recordsdatabase.h"
#include "records/teststore.h"

#include "settings/applocations.h"

#include <QSqlDatabase>
#include <QSqlError>

namespace {
const char FileName[] = "torvelin-outbox.sqlite";
} // namespace

Outbox::Outbox(const QString &connectionName)
    : m_connectionName(connectionName)
{
}

Outbox::~Outbox()
{
    RecordsDatabase::close(m_connectionName);
}

DatabaseConfig Outbox::config()
{
    DatabaseConfig config;
    config.engine = DatabaseConfig::SQLite;
    config.sqlitePath = AppLocations::dataDirectory() + QLatin1Char('/') + QLatin1String(FileName);
    return config;
}

bool Outbox::open()
{
    if (!m_open)
        m_open = RecordsDatabase::open(config(), m_connectionName, &m_error);
    return m_open;
}

bool Outbox::testId(quint64 key, const TestHeader &header, qint64 *id)
{
    *id = m_ids.value(key, 0);
    if (*id != 0)
        return true;
    TestStore store(QSqlDatabase::database(m_connectionName, false));
    if (!store.insertTest(header, id)) {
        m_error = store.lastError();
        return false;
    }
    m_ids.insert(key, *id);
    return true;
}

template<typename Write> bool Outbox::inTransaction(Write write)
{
    if (!open())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    TestStore store(db);
    const QHash<quint64, qint64> idsBefore = m_ids;
    if (!db.transaction()) {
        m_error = db.lastError().text();
        return false;
    }
    if (write(store) && db.commit())
        return true;
    if (m_error.isEmpty())
        m_error = store.lastError().isEmpty() ? db.lastError().text() : store.lastError();
    db.rollback();
    m_ids = idsBefore;
    return false;
}

bool Outbox::addPoints(quint64 key, const TestHeader &header, qint64 firstSeq, const QVector<RecordedPoint> &points)
{
    m_error.clear();
    return inTransaction([&](TestStore &store) {
        qint64 id = 0;
        return testId(key, header, &id) && store.appendPoints(id, firstSeq, points.constData(), points.size());
    });
}

bool Outbox::finish(quint64 key, const TestHeader &header, const QDateTime &finishedAt,
                    const EvaluationRecord &evaluation)
{
    m_error.clear();
    return inTransaction([&](TestStore &store) {
        qint64 id = 0;
        return testId(key, header, &id) && store.finishTest(id, finishedAt, evaluation);
    });
}
