#include "records/recordsdatabase.h"

#include "records/audittrail.h"
#include "records/schemasql.h"
#include "records/serverconnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QThread>
#include <QVariant>

#include <algorithm>

namespace {

constexpr int BusyTimeoutMs = 5000;
constexpr int JournalRetryMs = 20;
const char SqliteBusy[] = "5";   // SQLITE_BUSY, as Qt's driver reports it
// Any fixed number: it serialises two stations upgrading one server at once.
constexpr qint64 MigrationLockKey = 0x746f7276;

// The table that says which version a database's schema is at; it is
// made before any step runs, so it is not one of them.
Schema::Table versionTable()
{
    return {Schema::SchemaVersionTable::Table,
            {Schema::ColumnDefinition(Schema::SchemaVersionTable::version, Schema::Type::Integer)},
            {},
            false,
            {}};
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

// A value of libpq's connection string: quoted, with its quotes and
// backslashes escaped, so that a root certificate's path may hold spaces.
QString connectionValue(const QString &value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

// What the server connection is opened with beyond host, port, database
// and login. Qt's driver turns every ';' into a separator, so a value
// holding one cannot be passed and is refused.
bool postgresOptions(const DatabaseConfig &config, QString *options, QString *error)
{
    QStringList parts{QStringLiteral("connect_timeout=%1").arg(RecordsDatabase::ConnectTimeoutSeconds)};
    if (!config.sslMode.isEmpty())
        parts << QStringLiteral("sslmode=%1").arg(config.sslMode);
    if (!config.sslRootCert.isEmpty()) {
        if (config.sslRootCert.contains(QLatin1Char(';'))) {
            if (error)
                *error = QCoreApplication::translate("RecordsDatabase",
                                                     "The root certificate's path %1 holds a ';', which the "
                                                     "connection cannot pass on.")
                             .arg(QDir::toNativeSeparators(config.sslRootCert));
            return false;
        }
        parts << QStringLiteral("sslrootcert=%1").arg(connectionValue(QDir::toNativeSeparators(config.sslRootCert)));
    }
    *options = parts.join(QLatin1Char(';'));
    return true;
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
    // Switching the journal needs the file to itself, and SQLite does not
    // wait for that: another connection opening it at the same moment
    // answers SQLITE_BUSY at once. Tried again within the busy timeout.
    QElapsedTimer waited;
    waited.start();
    bool wal = false;
    bool busy = false;
    do {
        QSqlQuery journal(db);
        wal = journal.exec(QStringLiteral("PRAGMA journal_mode = WAL")) && journal.next()
              && journal.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
        busy = !wal && journal.lastError().nativeErrorCode() == QLatin1String(SqliteBusy);
        if (busy)
            QThread::msleep(JournalRetryMs);
    } while (busy && waited.elapsed() < BusyTimeoutMs);
    if (!wal) {
        if (error)
            *error = QCoreApplication::translate("RecordsDatabase",
                                                 "The database file cannot use a write-ahead log.");
        return false;
    }
    return true;
}

// A bench's file is the station's own: it makes the schema and the trail
// itself, and names the computer's login for the trail.
bool prepareBench(QSqlDatabase &db, QString *error)
{
    if (!AuditTrail::isCurrent(db)) {
        QString why;
        if (!exec(db, QStringLiteral("BEGIN IMMEDIATE"), error))
            return false;
        if (!AuditTrail::install(db, &why) || !exec(db, QStringLiteral("COMMIT"), &why)) {
            exec(db, QStringLiteral("ROLLBACK"), nullptr);
            if (error)
                *error = why;
            return false;
        }
    }
    QString why;
    if (AuditTrail::setSqliteUser(db, &why))
        return true;
    if (error)
        *error = why;
    return false;
}

// A lab's server is the administrator's: a station with an operator's login
// has no right to create or alter tables, and must not try.
bool serverIsReady(QSqlDatabase &db, QString *error)
{
    const int version = RecordsDatabase::storedVersion(db);
    const int current = Schema::currentVersion();
    QString why;
    if (version > current) {
        why = QCoreApplication::translate("RecordsDatabase",
                                          "The database holds records of a newer Torvelin (schema %1; this "
                                          "program knows up to %2). Nothing is written to it.")
                  .arg(version)
                  .arg(current);
    } else if (version < current || !AuditTrail::isCurrent(db)) {
        why = version == 0 ? QCoreApplication::translate("RecordsDatabase",
                                                         "The database has no Torvelin records schema (or the "
                                                         "login's search_path does not name its schema): ask the "
                                                         "administrator to run torvelin-records init.")
                           : QCoreApplication::translate("RecordsDatabase",
                                                         "The database's records schema is version %1, this "
                                                         "program needs %2: ask the administrator to run "
                                                         "torvelin-records init.")
                                 .arg(version)
                                 .arg(current);
    }
    if (why.isEmpty())
        return true;
    if (error)
        *error = why;
    return false;
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

bool isPostgres(const QSqlDatabase &db)
{
    return SchemaSql::dialectOf(db) == SchemaSql::Dialect::PostgreSQL;
}

bool hasTable(QSqlDatabase &db, const QString &table)
{
    // PostgreSQL resolves the name through the login's search_path, so the
    // records may live in a schema other than public.
    QSqlQuery query(db);
    query.prepare(isPostgres(db) ? QStringLiteral("SELECT to_regclass(?) IS NOT NULL")
                                 : QStringLiteral("SELECT COUNT(*) > 0 FROM sqlite_master "
                                                  "WHERE type = 'table' AND name = ?"));
    query.addBindValue(table);
    return query.exec() && query.next() && query.value(0).toBool();
}

int storedVersion(QSqlDatabase &db)
{
    if (!hasTable(db, QLatin1String(Schema::SchemaVersionTable::Table)))
        return 0;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT MAX(%1) FROM %2")
                        .arg(SchemaSql::name(Schema::SchemaVersionTable::version),
                             SchemaSql::name(Schema::SchemaVersionTable::Table)))
        || !query.next())
        return 0;
    return query.value(0).toInt();
}

bool migrate(QSqlDatabase &db, QString *error, int targetVersion, const QVector<Schema::Step> &steps)
{
    // Two programs opening one new database at once: the first takes the
    // write lock (SQLite) or the advisory lock (PostgreSQL) and upgrades,
    // the second then finds the schema current.
    const SchemaSql::Dialect dialect = SchemaSql::dialectOf(db);
    const bool postgres = dialect == SchemaSql::Dialect::PostgreSQL;
    targetVersion = std::min(targetVersion, int(steps.size()));
    QString why;
    // A step that rebuilds a table on SQLite drops it: with foreign keys on,
    // that would delete every row that refers to it. They are checked again
    // before the commit. (SQLite ignores this pragma inside a transaction.)
    if (!postgres && !exec(db, QStringLiteral("PRAGMA foreign_keys = OFF"), error))
        return false;
    auto foreignKeysBackOn = [&] {
        if (!postgres)
            exec(db, QStringLiteral("PRAGMA foreign_keys = ON"), nullptr);
    };
    const bool begun = postgres ? db.transaction() : exec(db, QStringLiteral("BEGIN IMMEDIATE"), &why);
    if (!begun) {
        foreignKeysBackOn();
        if (error)
            *error = postgres ? db.lastError().text() : why;
        return false;
    }
    auto fail = [&](const QString &reason) {
        if (postgres)
            db.rollback();
        else
            exec(db, QStringLiteral("ROLLBACK"), nullptr);
        foreignKeysBackOn();
        if (error)
            *error = reason;
        return false;
    };
    if (postgres
        && !exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(MigrationLockKey), &why))
        return fail(why);
    if (!hasTable(db, QLatin1String(Schema::SchemaVersionTable::Table))) {
        for (const QString &statement : SchemaSql::createTable(versionTable(), dialect)) {
            if (!exec(db, statement, &why))
                return fail(why);
        }
    }

    const int version = storedVersion(db);
    if (version > steps.size()) {
        return fail(QCoreApplication::translate(
                        "RecordsDatabase",
                        "The database holds records of a newer Torvelin (schema %1; this "
                        "program knows up to %2). Nothing is written to it.")
                        .arg(version)
                        .arg(steps.size()));
    }
    if (!postgres && version < targetVersion && !AuditTrail::removeFromSqlite(db, &why))
        return fail(why);
    for (int step = version; step < targetVersion; ++step) {
        for (const QString &statement : SchemaSql::migrationStatements(step, dialect, steps)) {
            if (!exec(db, statement, &why))
                return fail(why);
        }
    }
    if (!postgres) {
        QSqlQuery check(db);
        if (!check.exec(QStringLiteral("PRAGMA foreign_key_check")))
            return fail(check.lastError().text());
        if (check.next())
            return fail(QStringLiteral("the upgrade left rows of %1 without the row they refer to")
                            .arg(check.value(0).toString()));
    }
    if (version < targetVersion) {
        const QString table = SchemaSql::name(Schema::SchemaVersionTable::Table);
        const QString column = SchemaSql::name(Schema::SchemaVersionTable::version);
        if (!exec(db, QStringLiteral("DELETE FROM %1").arg(table), &why)
            || !exec(db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, column).arg(targetVersion), &why))
            return fail(why);
    }
    const bool committed = postgres ? db.commit() : exec(db, QStringLiteral("COMMIT"), &why);
    if (!committed)
        return fail(postgres ? db.lastError().text() : why);
    foreignKeysBackOn();
    return true;
}

bool open(const DatabaseConfig &config, const QString &connectionName, QString *error)
{
    if (!connect(config, connectionName, error))
        return false;
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    QString why;
    if (isPostgres(db) ? serverIsReady(db, &why) : (migrate(db, &why) && prepareBench(db, &why)))
        return true;
    if (error)
        *error = why.trimmed();
    db = QSqlDatabase();
    close(connectionName);
    return false;
}

bool connect(const DatabaseConfig &config, const QString &connectionName, QString *error)
{
    close(connectionName);
    if (!config.unusable.isEmpty()) {
        if (error)
            *error = config.unusable;
        return false;
    }
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
            }
            QString why;
            QString options;
            if (config.engine == DatabaseConfig::PostgreSQL) {
                db.setHostName(config.host);
                db.setPort(config.port);
                db.setDatabaseName(config.database);
                db.setUserName(config.user);
                db.setPassword(config.password);
                if (postgresOptions(config, &options, &why))
                    db.setConnectOptions(options);
            }
            if (!why.isEmpty()) {
            } else if (!db.open()) {
                why = db.lastError().text();
            } else if (config.engine == DatabaseConfig::SQLite && !setUpSqlite(db, &why)) {
            } else {
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

namespace {
QString readerConnectionName()
{
    return QStringLiteral("torvelin-records-reader-%1").arg(reinterpret_cast<quintptr>(QThread::currentThread()), 0, 16);
}
} // namespace

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
    if (connection.name.isEmpty())
        connection.name = readerConnectionName();
    const DatabaseConfig config = DatabaseConfig::current();
    // A lab's server that restarted since is reached again.
    if (connection.open && connection.config.sameDatabase(config)) {
        QSqlDatabase db = QSqlDatabase::database(connection.name, false);
        if (db.isOpen() && !ServerConnection::isLost(db, ServerConnection::Use::Idle))
            return db;
    }
    connection.open = open(config, connection.name, error);
    connection.config = config;
    if (!connection.open)
        return QSqlDatabase();
    QSqlDatabase db = QSqlDatabase::database(connection.name, false);
    // A reader waits for a hung server or a statement gone wrong this long
    // at most, then tells why, instead of holding its thread for good.
    if (isPostgres(db)) {
        QSqlQuery(db).exec(QStringLiteral("SET statement_timeout = %1").arg(ReaderStatementTimeoutMs));
        // A part's statistics sort and group a few hundred thousand point
        // results: the server's default of a few megabytes writes them to
        // disk and reads them back. One reader per thread, one statement at
        // a time, so this much at most per station's thread.
        QSqlQuery(db).exec(QStringLiteral("SET work_mem = '%1MB'").arg(ReaderWorkMemMegabytes));
        // A reader's statements are short and each is run once: compiling
        // them (which the server starts on their estimated cost) takes
        // longer than running them.
        QSqlQuery(db).exec(QStringLiteral("SET jit = off"));
    }
    return db;
}

void closeForCurrentThread()
{
    close(readerConnectionName());
}

} // namespace RecordsDatabase
