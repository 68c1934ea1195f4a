#pragma once

#include "records/databaseconfig.h"

#include <QString>
#include <QStringList>

// What the lab's administrator does once to a records database (torvelin-
// records init): the schema created or brought forward, the audit trail
// and, on PostgreSQL, the group roles and what each may do (records/
// labroles.h). Stations never do this to a server. Every step may be run
// again and leaves the same state.
namespace RecordsAdministration {

struct Report
{
    int versionBefore = 0;
    int versionAfter = 0;
    QStringList rolesCreated;   // the group roles that did not exist yet
};

// Opens the database with the given login (one that owns the database, or
// may create in its schema and create roles) and initialises it. False,
// with the database's reason, when it refuses; nothing of the trail and the
// rights is then changed.
bool initialise(const DatabaseConfig &config, Report *report, QString *error);

} // namespace RecordsAdministration
