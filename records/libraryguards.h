#pragma once

#include <QString>
#include <QVector>

// What keeps a program version, a verification or frozen control limits on record as it was,
// whatever a client sends: unique indexes and triggers, per engine (an
// empty text: nothing on that engine). On PostgreSQL the triggers also
// stamp who made, approved, retired or recorded a row, and when, with the
// server's own user and clock.
namespace LibraryGuards {

struct Statement
{
    QString sqlite;
    QString postgres;
};

QVector<Statement> statements();
// Frozen control limits: added, never changed or deleted; on PostgreSQL
// stamped with the server's user and clock.
QVector<Statement> controlLimitStatements();

} // namespace LibraryGuards
