#pragma once

#include "records/schema.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

// The audit trail: triggers that write every insert, update and delete of
// the audited tables into audit_log (the database's clock, the login, old
// and new rows as JSON, the reason), the stamps the server puts on a record
// (its clock, the login as operator and signer), amendments applied by the
// database, and on PostgreSQL the notification that a test was recorded.
// Installing replaces every function and trigger, so it may be run again.
namespace AuditTrail {

// Every table of the schema but the curves (an operator only adds points to
// its own open test, and a trail row per point would double the cost of
// recording) and the trail itself.
QVector<const Schema::Table *> auditedTables();

// The channel a PostgreSQL server notifies when a test is recorded, ends,
// is amended or signed; the payload is the test's id.
inline const QString Channel = QStringLiteral("torvelin_records");

// How long after its end a test still takes the points and results that
// were on their way at Stop (the recorder keeps them for a second after
// Stop and writes them within its next commits).
constexpr int LatePointsGraceSeconds = 60;

// The reason a change made by hand carries into the trail on PostgreSQL:
//     SET torvelin.reason = 'batch label misread'; UPDATE tests SET …
inline const QString ReasonSetting = QStringLiteral("torvelin.reason");

// The statements that install the trail on this connection's database, in
// the schema the connection works in (PostgreSQL: the first of the login's
// search_path). On SQLite the triggers name every column of each audited
// table as the schema description has them now.
bool statements(QSqlDatabase &db, QStringList *statements, QString *error);
// Runs them; the caller holds the transaction.
bool install(QSqlDatabase &db, QString *error);
// SQLite: drops the trail's triggers, before a migration step that makes a
// table again (the amendment's trigger names tests, which SQLite then
// refuses to rename); the next open() puts them back as they are then.
bool removeFromSqlite(QSqlDatabase &db, QString *error);
// Whether every trigger is in place as statements() would make it (SQLite,
// where stations install the trail themselves), or the audit trigger of
// tests is there at all (PostgreSQL, where the administrator does).
bool isCurrent(QSqlDatabase &db);

// The name a bench's file records as db_user: this computer's login.
QString localUser();
// SQLite: makes localUser() the name the triggers write; each connection
// the program opens calls it.
bool setSqliteUser(QSqlDatabase &db, QString *error);

} // namespace AuditTrail
