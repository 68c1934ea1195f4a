// torvelin-records init: the administrator's one step that makes a database
// ready for the lab's stations.
#include "recordstool/verbs.h"

#include "records/administration.h"
#include "recordstool/recordstool.h"

namespace RecordsTool {

int runInit(const QStringList &arguments, const Io &io)
{
    VerbOptions options(
        QStringLiteral("init"),
        VerbOptions::tr("Creates the records schema or upgrades it to this version of Torvelin, "
                        "and on PostgreSQL the group roles torvelin_operator, torvelin_reviewer "
                        "and torvelin_engineer with their rights and the audit trail. Run it as "
                        "the login that owns the database; running it again changes nothing."));
    options.addDatabaseOption();
    int exitCode = Success;
    if (!options.parse(arguments, io, &exitCode))
        return exitCode;
    if (!options.parser().positionalArguments().isEmpty()) {
        io.complain(VerbOptions::tr("init: unexpected argument %1")
                        .arg(options.parser().positionalArguments().first()));
        return UsageError;
    }
    DatabaseConfig config;
    if (!options.database(&config, io))
        return UsageError;

    RecordsAdministration::Report report;
    QString error;
    if (!RecordsAdministration::initialise(config, &report, &error)) {
        io.complain(VerbOptions::tr("%1: %2").arg(config.description(), error));
        return Failed;
    }
    if (report.versionBefore == report.versionAfter)
        io.say(VerbOptions::tr("%1: schema version %2, already current.")
                   .arg(config.description())
                   .arg(report.versionAfter));
    else
        io.say(VerbOptions::tr("%1: schema version %2 (was %3).")
                   .arg(config.description())
                   .arg(report.versionAfter)
                   .arg(report.versionBefore));
    if (!report.rolesCreated.isEmpty())
        io.say(VerbOptions::tr("Group roles created: %1.").arg(report.rolesCreated.join(QStringLiteral(", "))));
    return Success;
}

} // namespace RecordsTool
