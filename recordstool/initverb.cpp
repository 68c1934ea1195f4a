// torvelin-records init: the administrator's one step that makes a database
// ready for the lab's stations. Run again, it changes nothing.
#include "records/administration.h"
#include "recordstool/recordstool.h"
#include "recordstool/verbsupport.h"

using namespace VerbSupport;

namespace {

class InitText
{
    Q_DECLARE_TR_FUNCTIONS(RecordsTool)
};

} // namespace

int initVerb(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    VerbParser verb(arguments,
                    InitText::tr("Creates the records schema or upgrades it to this version of Torvelin, "
                                 "and on PostgreSQL the group roles torvelin_operator, torvelin_reviewer "
                                 "and torvelin_engineer with their rights and the audit trail. Run it as "
                                 "the login that owns the database; running it again changes nothing."));
    verb.addDatabaseOption();
    int exitCode = RecordsTool::Success;
    if (!verb.parse(out, err, {QStringLiteral("db")}, &exitCode))
        return exitCode;
    DatabaseConfig config;
    QString error;
    if (!verb.databaseConfig(&config, &error)) {
        print(err, QStringLiteral("%1: %2").arg(verb.command(), error));
        return RecordsTool::UsageError;
    }
    RecordsAdministration::Report report;
    if (!RecordsAdministration::initialise(config, &report, &error)) {
        print(err, QStringLiteral("%1: %2: %3").arg(verb.command(), config.description(), error));
        return RecordsTool::Refused;
    }
    if (report.versionBefore == report.versionAfter)
        print(out, InitText::tr("%1: schema version %2, already current.")
                       .arg(config.description())
                       .arg(report.versionAfter));
    else
        print(out, InitText::tr("%1: schema version %2 (was %3).")
                       .arg(config.description())
                       .arg(report.versionAfter)
                       .arg(report.versionBefore));
    if (!report.rolesCreated.isEmpty())
        print(out, InitText::tr("Group roles created: %1.").arg(report.rolesCreated.join(QStringLiteral(", "))));
    return RecordsTool::Success;
}
