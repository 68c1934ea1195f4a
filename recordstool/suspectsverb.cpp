// torvelin-records suspects: the tests a failed verification puts in doubt.
#include "numbers/numbertext.h"
#include "records/verificationstore.h"
#include "recordstool/recordstool.h"
#include "recordstool/verbsupport.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace VerbSupport;

namespace {

class SuspectsText
{
    Q_DECLARE_TR_FUNCTIONS(RecordsTool)
};

} // namespace

int suspectsVerb(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    VerbParser verb(arguments, SuspectsText::tr("Lists the tests a verification that failed as found puts "
                                                "in doubt: every test of the station since its last "
                                                "passing verification."));
    verb.addDatabaseOption();
    QCommandLineParser &parser = verb.parser();
    parser.addOptions({
        {QStringLiteral("station"), SuspectsText::tr("The station: its id or the host name recorded with "
                                                     "the tests."),
         SuspectsText::tr("STATION")},
        {QStringLiteral("verification"), SuspectsText::tr("The failed verification (default: the station's "
                                                          "latest that failed as found)."),
         SuspectsText::tr("ID")},
        {QStringLiteral("json"), SuspectsText::tr("One JSON object per test (id, started_at, part_number, "
                                                  "batch, serial_number).")},
    });
    int exitCode = RecordsTool::Success;
    if (!verb.parse(out, err, {QStringLiteral("db"), QStringLiteral("station")}, &exitCode))
        return exitCode;
    DatabaseGuard guard;
    QSqlDatabase db;
    QString error;
    if (!verb.openDatabase(&db, &error))
        return verb.refuse(err, error);
    VerificationStore store(db);
    QStringList names;
    QVector<MachineVerification> verifications;
    if (!store.stationNames(parser.value(QStringLiteral("station")), &names)
        || !store.readStation(names, &verifications))
        return verb.refuse(err, store.lastError());
    qint64 failedId = 0;
    if (parser.isSet(QStringLiteral("verification"))) {
        bool isNumber = false;
        failedId = NumberText::toLongLong(parser.value(QStringLiteral("verification")), &isNumber);
        if (!isNumber || failedId <= 0)
            return verb.usageError(err, SuspectsText::tr("--verification takes a verification's number, not \"%1\".")
                                            .arg(parser.value(QStringLiteral("verification"))));
    } else if (const auto failed = VerificationRules::latestFailedAsFound(verifications)) {
        failedId = failed->id;
    } else {
        // Nothing failed: nothing is suspect.
        return RecordsTool::Success;
    }
    const auto period = VerificationRules::suspectPeriod(verifications, failedId);
    if (!period)
        return verb.refuse(err, SuspectsText::tr("Verification %1 of this station did not fail as found.").arg(failedId));
    QVector<SuspectTest> tests;
    if (!store.suspects(names, *period, &tests))
        return verb.refuse(err, store.lastError());
    for (const SuspectTest &test : tests) {
        const QString started = test.startedAt.toUTC().toString(Qt::ISODateWithMs);
        if (parser.isSet(QStringLiteral("json"))) {
            const QJsonObject object{{QStringLiteral("id"), test.id},
                                     {QStringLiteral("started_at"), started},
                                     {QStringLiteral("part_number"), test.partNumber},
                                     {QStringLiteral("batch"), test.batch},
                                     {QStringLiteral("serial_number"), test.serialNumber}};
            print(out, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        } else {
            print(out, QStringLiteral("%1\t%2\t%3\t%4\t%5")
                           .arg(test.id)
                           .arg(started, test.partNumber, test.batch, test.serialNumber));
        }
    }
    return RecordsTool::Success;
}
