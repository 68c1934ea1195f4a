#include "records/administration.h"

#include "records/audittrail.h"
#include "records/labroles.h"
#include "records/recordsdatabase.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace RecordsAdministration {

namespace {

const char ConnectionName[] = "torvelin-records-administration";

// The trail and the rights in one transaction: a server that refuses one
// statement (a login without CREATEROLE) keeps what it had.
bool installSecurity(QSqlDatabase &db, Report *report, QString *error)
{
    QStringList statements;
    if (!AuditTrail::statements(db, &statements, error))
        return false;
    if (RecordsDatabase::isPostgres(db)) {
        QStringList rights;
        if (!LabRoles::missingRoles(db, &report->rolesCreated, error) || !LabRoles::statements(db, &rights, error))
            return false;
        statements += rights;
    }
    if (!db.transaction()) {
        *error = db.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    // Installing again drops what it replaces; "does not exist, skipping"
    // on the first run tells the administrator nothing.
    if (RecordsDatabase::isPostgres(db))
        query.exec(QStringLiteral("SET LOCAL client_min_messages = warning"));
    for (const QString &statement : qAsConst(statements)) {
        if (!query.exec(statement)) {
            *error = query.lastError().text().trimmed();
            if (statement.startsWith(QLatin1String("CREATE ROLE"))) {
                *error = QCoreApplication::translate("RecordsAdministration",
                                                     "The group roles cannot be created (it takes a login with "
                                                     "the CREATEROLE right): %1")
                             .arg(*error);
            }
            query.finish();
            db.rollback();
            report->rolesCreated.clear();
            return false;
        }
    }
    if (db.commit())
        return true;
    *error = db.lastError().text();
    db.rollback();
    report->rolesCreated.clear();
    return false;
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
        ok = RecordsDatabase::migrate(db, error) && installSecurity(db, report, error);
        report->versionAfter = RecordsDatabase::storedVersion(db);
    }
    RecordsDatabase::close(QLatin1String(ConnectionName));
    return ok;
}

} // namespace RecordsAdministration
