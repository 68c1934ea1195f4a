#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

// Who may do what in a lab's PostgreSQL database: the group roles a login
// is made a member of, the rights each has on the records' tables, and the
// row-level security that keeps an operator to its own running tests. The
// server enforces all of it; the program only installs it (torvelin-records
// init) and never relies on itself to refuse.
namespace LabRoles {

// Records tests and reads the records.
inline const QString Operator = QStringLiteral("torvelin_operator");
// Reads, signs and amends.
inline const QString Reviewer = QStringLiteral("torvelin_reviewer");
// Reads and manages test programs.
inline const QString Engineer = QStringLiteral("torvelin_engineer");
QStringList all();

// What one role may write in one table, beyond reading every table of the
// records (which every role may). `privileges` is SQL: "INSERT",
// "UPDATE (verdict, status)". A table that is not here is read-only to
// every login but the owner; nobody but the owner may DELETE or TRUNCATE.
struct Right
{
    QString role;
    QString privileges;
    QString table;
};
QVector<Right> rights();

// The statements that give the rights, in the connection's schema (the
// first of its search_path): group roles made where missing, every right
// taken back and given again (so that a right removed from rights() goes),
// row-level security on the tests and their rows.
bool statements(QSqlDatabase &db, QStringList *statements, QString *error);

// The group roles that do not exist yet on the server (roles belong to the
// whole server: another database of the lab may have made them).
bool missingRoles(QSqlDatabase &db, QStringList *missing, QString *error);

} // namespace LabRoles
