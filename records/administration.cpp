#include "records/administration.h"

#include "records/recordsdatabase.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace RecordsAdministration {

namespace {

const char ConnectionName[] = "torvelin-records-administration";

bool roleExists(QSqlDatabase &db, const QString &role, bool *exists, QString *error)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM pg_roles WHERE rolname = ?"));
    query.addBindValue(role);
    if (!query.exec() || !query.next()) {
        *error = query.lastError().text();
        return false;
    }
    *exists = query.value(0).toInt() > 0;
    return true;
}

// Group roles belong to the whole server, not to one database: they may
// already be there from another database of the lab.
bool createRoles(QSqlDatabase &db, Report *report, QString *error)
{
    for (const QString &role : {OperatorRole, ReviewerRole, EngineerRole}) {
        bool exists = false;
        if (!roleExists(db, role, &exists, error))
            return false;
        if (exists)
            continue;
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(role))) {
            *error = QCoreApplication::translate(
                         "RecordsAdministration",
                         "The group role %1 cannot be created (it takes a login with the "
                         "CREATEROLE right): %2")
                         .arg(role, query.lastError().text().trimmed());
            return false;
        }
        report->rolesCreated.append(role);
    }
    return true;
}

} // namespace

bool initialise(const DatabaseConfig &config, Report *report, QString *error)
{
    if (!RecordsDatabase::connect(config, QLatin1String(ConnectionName), error))
        return false;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::database(QLatin1String(ConnectionName), false);
        report->versionBefore = RecordsDatabase::storedVersion(db);
        ok = RecordsDatabase::migrate(db, error)
             && (!RecordsDatabase::isPostgres(db) || createRoles(db, report, error));
        report->versionAfter = RecordsDatabase::storedVersion(db);
    }
    RecordsDatabase::close(QLatin1String(ConnectionName));
    return ok;
}

} // namespace RecordsAdministration
