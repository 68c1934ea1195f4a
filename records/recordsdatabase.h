#pragma once

#include "records/databaseconfig.h"
#include "records/schema.h"

#include <QSqlDatabase>
#include <QString>

#include <functional>

// Opening the records database through Qt SQL and keeping its schema
// current. Every connection is named and used by one thread only.
namespace RecordsDatabase {

// How long a connection to a server waits for it to answer.
constexpr int ConnectTimeoutSeconds = 5;

// Opens a connection under the given name (replacing one of that name) and
// sets up the engine. A bench's SQLite file (WAL, foreign keys, full sync,
// busy timeout) gets the current schema (records/schema.h) and the audit
// trail; a PostgreSQL server must have them already, from torvelin-records
// init: a station never creates or alters its tables. On failure the
// connection is removed again and *error says why, for the operator.
bool open(const DatabaseConfig &config, const QString &connectionName, QString *error);
// The same connection with the schema left as it is: for the
// administration, which migrates it itself.
bool connect(const DatabaseConfig &config, const QString &connectionName, QString *error);
// Closes and forgets a connection made by open().
void close(const QString &connectionName);

// Creates the schema or upgrades it one version step at a time, in one
// transaction, up to targetVersion; refuses a database of a newer version
// than the steps know. Tests make older databases, or try a step to come.
bool migrate(QSqlDatabase &db, QString *error, int targetVersion = Schema::currentVersion(),
             const QVector<Schema::Step> &steps = Schema::steps());
// The schema version stored in the database; 0 when it has none yet.
int storedVersion(QSqlDatabase &db);
// Whether the table exists where the connection looks for it (on
// PostgreSQL, the login's search_path).
bool hasTable(QSqlDatabase &db, const QString &table);

// For readers (History, statistics, reports): this thread's own connection
// to the configured database, opened on first use and reopened when the
// configuration changed. Invalid, with *error set, when it cannot open.
// On PostgreSQL each statement of a reader ends after
// ReaderStatementTimeoutMs, sorts and hashes in up to ReaderWorkMemMegabytes
// before they spill to disk, and is not compiled by the server's JIT.
constexpr int ReaderStatementTimeoutMs = 30000;
constexpr int ReaderWorkMemMegabytes = 64;
QSqlDatabase forCurrentThread(QString *error = nullptr);
// Closes this thread's reader connection (a thread that ends closes its own).
void closeForCurrentThread();

bool isPostgres(const QSqlDatabase &db);

// Runs `work` in one write transaction: BEGIN IMMEDIATE on SQLite (the
// file's write lock from the start), a transaction that first runs
// `postgresLock` on PostgreSQL. Commits when work returns true, rolls back
// otherwise; false with *error (work's own reason, or the database's) when
// nothing was committed.
bool inTransaction(QSqlDatabase &db, const QString &postgresLock,
                   const std::function<bool(QString *error)> &work, QString *error);

} // namespace RecordsDatabase
