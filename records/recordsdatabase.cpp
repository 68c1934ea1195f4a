#include "records/recordsdatabase.h"

#include "records/libraryschema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QThread>
#include <QVariant>

namespace {

constexpr int BusyTimeoutMs = 5000;
constexpr int ConnectTimeoutSeconds = 5;
// Any fixed number: it serialises two stations upgrading one server at once.
constexpr qint64 MigrationLockKey = 0x746f7276;

// Placeholders the dialects fill: ids, reals, and the end of a table that
// is only reached through its primary key.
struct Dialect
{
    QString id;
    QString real;
    QString keyedTable;
};

QStringList versionOneStatements(const Dialect &d)
{
    return {
        QStringLiteral("CREATE TABLE tests ("
                       "id %1,"
                       "started_at TEXT NOT NULL,"
                       "finished_at TEXT,"
                       "status TEXT NOT NULL CHECK (status IN ('running','complete','interrupted')),"
                       "\"operator\" TEXT NOT NULL DEFAULT '',"
                       "part_number TEXT NOT NULL DEFAULT '',"
                       "batch TEXT NOT NULL DEFAULT '',"
                       "serial_number TEXT NOT NULL DEFAULT '',"
                       "station TEXT NOT NULL DEFAULT '',"
                       "mode INTEGER NOT NULL,"
                       "distance_mode INTEGER NOT NULL,"
                       "speed INTEGER NOT NULL,"
                       "distance %2 NOT NULL,"
                       "machine_type INTEGER NOT NULL DEFAULT 0,"
                       "force_decimals INTEGER NOT NULL,"
                       "port_name TEXT NOT NULL DEFAULT '',"
                       "baud_rate INTEGER NOT NULL DEFAULT 0,"
                       "data_bits INTEGER NOT NULL DEFAULT 0,"
                       "parity TEXT NOT NULL DEFAULT '',"
                       "stop_bits INTEGER NOT NULL DEFAULT 0,"
                       "program_number INTEGER,"
                       "program_source TEXT NOT NULL DEFAULT '',"
                       "program TEXT,"
                       "verdict TEXT CHECK (verdict IN ('pass','fail')),"
                       "rate_fit %2,"
                       "max_force %2,"
                       "hysteresis_percent %2,"
                       "point_count INTEGER NOT NULL DEFAULT 0)")
            .arg(d.id, d.real),
        QStringLiteral("CREATE INDEX tests_started_at ON tests (started_at)"),
        QStringLiteral("CREATE INDEX tests_part_batch ON tests (part_number, batch)"),
        QStringLiteral("CREATE INDEX tests_status ON tests (status)"),
        QStringLiteral("CREATE TABLE curve_points ("
                       "test_id INTEGER NOT NULL REFERENCES tests (id) ON DELETE CASCADE,"
                       "stroke INTEGER NOT NULL CHECK (stroke IN (0, 1)),"
                       "seq INTEGER NOT NULL,"
                       "distance %1 NOT NULL,"
                       "force %1 NOT NULL,"
                       "PRIMARY KEY (test_id, seq))%2")
            .arg(d.real, d.keyedTable),
        QStringLiteral("CREATE TABLE point_results ("
                       "test_id INTEGER NOT NULL REFERENCES tests (id) ON DELETE CASCADE,"
                       "point_no INTEGER NOT NULL,"
                       "distance %1 NOT NULL,"
                       "force %1,"
                       "lower %1 NOT NULL,"
                       "upper %1 NOT NULL,"
                       "verdict TEXT NOT NULL CHECK (verdict IN ('pass','fail','not reached')),"
                       "PRIMARY KEY (test_id, point_no))")
            .arg(d.real),
        QStringLiteral("CREATE TABLE test_rates ("
                       "test_id INTEGER NOT NULL REFERENCES tests (id) ON DELETE CASCADE,"
                       "segment_no INTEGER NOT NULL,"
                       "from_point INTEGER NOT NULL,"
                       "to_point INTEGER NOT NULL,"
                       "rate %1,"
                       "PRIMARY KEY (test_id, segment_no))")
            .arg(d.real),
    };
}

// The steps from version n to n + 1, index n. A later version appends its
// step here; a released step is never edited.
QVector<QStringList> migrationSteps(const Dialect &d)
{
    return {versionOneStatements(d), LibrarySchema::statements(d.keyedTable.isEmpty())};
}

Dialect dialectOf(const QSqlDatabase &db)
{
    if (RecordsDatabase::isPostgres(db))
        return {QStringLiteral("BIGSERIAL PRIMARY KEY"), QStringLiteral("DOUBLE PRECISION"), QString()};
    // One b-tree for the points instead of a table and its key index: each
    // point is written once.
    return {QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"), QStringLiteral("REAL"),
            QStringLiteral(" WITHOUT ROWID")};
}

bool exec(QSqlDatabase &db, const QString &statement, QString *error)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

bool setUpSqlite(QSqlDatabase &db, QString *error)
{
    // WAL lets readers work beside the recorder; FULL makes a commit survive
    // a power cut, and costs one sync per batch of points.
    const QStringList pragmas{
        QStringLiteral("PRAGMA foreign_keys = ON"),
        QStringLiteral("PRAGMA synchronous = FULL"),
    };
    for (const QString &pragma : pragmas) {
        if (!exec(db, pragma, error))
            return false;
    }
    QSqlQuery journal(db);
    if (!journal.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !journal.next()
        || journal.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        if (error)
            *error = QCoreApplication::translate("RecordsDatabase",
                                                 "The database file cannot use a write-ahead log.");
        return false;
    }
    return true;
}

} // namespace

namespace RecordsDatabase {

bool inTransaction(QSqlDatabase &db, const QString &postgresLock,
                   const std::function<bool(QString *error)> &work, QString *error)
{
    const bool postgres = isPostgres(db);
    QString why;
    bool begun = postgres ? db.transaction() : exec(db, QStringLiteral("BEGIN IMMEDIATE"), &why);
    if (postgres && !begun)
        why = db.lastError().text();
    if (begun && postgres && !postgresLock.isEmpty() && !exec(db, postgresLock, &why)) {
        db.rollback();
        begun = false;
    }
    if (!begun) {
        if (error)
            *error = why.trimmed();
        return false;
    }
    if (!work(&why)) {
        if (postgres)
            db.rollback();
        else
            exec(db, QStringLiteral("ROLLBACK"), nullptr);
        if (error)
            *error = why.trimmed();
        return false;
    }
    const bool committed = postgres ? db.commit() : exec(db, QStringLiteral("COMMIT"), &why);
    if (!committed) {
        if (postgres) {
            why = db.lastError().text();
            db.rollback();
        } else {
            exec(db, QStringLiteral("ROLLBACK"), nullptr);
        }
        if (error)
            *error = why.trimmed();
        return false;
    }
    return true;
}

QString localUserName()
{
    // Never a null text, which SQL would take for "not known".
    const QString user = qEnvironmentVariable("USER", QStringLiteral(""));
    return user.isEmpty() ? qEnvironmentVariable("USERNAME", QStringLiteral("")) : user;
}

bool isPostgres(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

int storedVersion(QSqlDatabase &db)
{
    if (!db.tables().contains(QStringLiteral("schema_version")))
        return 0;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next())
        return 0;
    return query.value(0).toInt();
}

bool migrate(QSqlDatabase &db, QString *error)
{
    // Two programs opening one new database at once: the first takes the
    // write lock (SQLite) or the advisory lock (PostgreSQL) and upgrades,
    // the second then finds the schema current.
    const bool postgres = isPostgres(db);
    QString why;
    const bool begun = postgres ? db.transaction() : exec(db, QStringLiteral("BEGIN IMMEDIATE"), &why);
    if (!begun) {
        if (error)
            *error = postgres ? db.lastError().text() : why;
        return false;
    }
    auto fail = [&](const QString &reason) {
        if (postgres)
            db.rollback();
        else
            exec(db, QStringLiteral("ROLLBACK"), nullptr);
        if (error)
            *error = reason;
        return false;
    };
    if (postgres
        && !exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(MigrationLockKey), &why))
        return fail(why);
    if (!exec(db, QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"), &why))
        return fail(why);

    const int version = storedVersion(db);
    if (version > SchemaVersion) {
        return fail(QCoreApplication::translate(
                        "RecordsDatabase",
                        "The database holds records of a newer Torvelin (schema %1; this "
                        "program knows up to %2). Nothing is written to it.")
                        .arg(version)
                        .arg(SchemaVersion));
    }
    const QVector<QStringList> steps = migrationSteps(dialectOf(db));
    for (int step = version; step < SchemaVersion; ++step) {
        for (const QString &statement : steps.at(step)) {
            if (!exec(db, statement, &why))
                return fail(why);
        }
    }
    if (version != SchemaVersion) {
        if (!exec(db, QStringLiteral("DELETE FROM schema_version"), &why)
            || !exec(db, QStringLiteral("INSERT INTO schema_version (version) VALUES (%1)").arg(SchemaVersion), &why))
            return fail(why);
    }
    const bool committed = postgres ? db.commit() : exec(db, QStringLiteral("COMMIT"), &why);
    if (!committed)
        return fail(postgres ? db.lastError().text() : why);
    return true;
}

bool open(const DatabaseConfig &config, const QString &connectionName, QString *error)
{
    close(connectionName);
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(config.driverName(), connectionName);
        if (!db.isValid()) {
            if (error)
                *error = QCoreApplication::translate("RecordsDatabase",
                                                     "The Qt SQL driver %1 is not installed.")
                             .arg(config.driverName());
        } else {
            if (config.engine == DatabaseConfig::SQLite) {
                QDir().mkpath(QFileInfo(config.sqlitePath).absolutePath());
                db.setDatabaseName(config.sqlitePath);
                db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
            } else {
                db.setHostName(config.host);
                db.setPort(config.port);
                db.setDatabaseName(config.database);
                db.setUserName(config.user);
                db.setPassword(config.password);
                db.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(ConnectTimeoutSeconds));
            }
            QString why;
            if (!db.open()) {
                why = db.lastError().text();
            } else if (config.engine == DatabaseConfig::SQLite && !setUpSqlite(db, &why)) {
            } else if (migrate(db, &why)) {
                opened = true;
            }
            if (!opened && error)
                *error = why.trimmed();
        }
    }
    if (!opened)
        close(connectionName);
    return opened;
}

void close(const QString &connectionName)
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

QSqlDatabase forCurrentThread(QString *error)
{
    // One connection per thread: Qt SQL connections must stay on the thread
    // that made them.
    struct ThreadConnection
    {
        QString name;
        DatabaseConfig config;
        bool open = false;
    };
    thread_local ThreadConnection connection;
    if (connection.name.isEmpty()) {
        connection.name = QStringLiteral("torvelin-records-reader-%1")
                              .arg(reinterpret_cast<quintptr>(QThread::currentThread()), 0, 16);
    }
    const DatabaseConfig config = DatabaseConfig::current();
    if (connection.open && connection.config.sameDatabase(config)
        && QSqlDatabase::database(connection.name, false).isOpen())
        return QSqlDatabase::database(connection.name, false);
    connection.open = open(config, connection.name, error);
    connection.config = config;
    if (!connection.open)
        return QSqlDatabase();
    return QSqlDatabase::database(connection.name, false);
}

} // namespace RecordsDatabase
