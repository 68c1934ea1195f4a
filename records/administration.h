#pragma once

#include "records/databaseconfig.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// What the lab's administrator does once to a records database (torvelin-
// records init): the schema created or brought forward and, on PostgreSQL,
// the group roles, what each may do, and the audit trail. Stations never do
// this themselves. Every step may be run again and leaves the same state.
namespace RecordsAdministration {

// The group roles a lab's logins are made members of.
inline const QString OperatorRole = QStringLiteral("torvelin_operator");
inline const QString ReviewerRole = QStringLiteral("torvelin_reviewer");
inline const QString EngineerRole = QStringLiteral("torvelin_engineer");

struct Report
{
    int versionBefore = 0;
    int versionAfter = 0;
    QStringList rolesCreated;   // the group roles that did not exist yet
};

// Opens the database with the given login (one that owns the database) and
// initialises it. False, with the database's reason, when it refuses.
bool initialise(const DatabaseConfig &config, Report *report, QString *error);

} // namespace RecordsAdministration
