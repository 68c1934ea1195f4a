#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The audit trail: triggers that write every insert, update and delete of
// the audited tables into audit_log (server time, the login, old and new
// rows as JSON, the reason), the stamps the server puts on a record (its
// clock, the login as operator and signer), amendments applied by the
// database, and on PostgreSQL the notification that a test was recorded.
// Installing is idempotent: functions and triggers are replaced.
namespace AuditTrail {

// The tables whose every change lands in audit_log. curve_points is not
// among them: an operator can only add points to its own open test, and a
// trail row per point would double the cost of recording.
QStringList auditedTables();

// The channel a PostgreSQL server notifies when a test is recorded, ends,
// is amended or signed; the payload is the test's id.
inline const QString Channel = QStringLiteral("torvelin_records");

// How long after its end a test still takes the points and results that
// were on their way at Stop.
constexpr int LatePointsGraceSeconds = 60;

// The statements that install the trail on this connection's database. On
// SQLite the triggers name every column of each audited table, as the
// database has them now: install again after a table gained columns.
bool statements(QSqlDatabase &db, QStringList *statements, QString *error);
// Runs them; the caller holds the transaction.
bool install(QSqlDatabase &db, QString *error);
// Whether the trail is in place (its triggers exist).
bool isInstalled(QSqlDatabase &db);

// SQLite: the name the triggers write as db_user, this computer's login,
// set by each connection that opens the file.
bool setSqliteUser(QSqlDatabase &db, const QString &user, QString *error);

} // namespace AuditTrail
