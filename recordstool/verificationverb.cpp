// torvelin-records verification add|list|settings: the machines'
// verifications, those made elsewhere entered by hand, and the lab's rules
// for them.
#include "records/verificationstore.h"

#include "numbers/numbertext.h"
#include "recordstool/recordstool.h"
#include "recordstool/verbsupport.h"
#include "verification/verificationjson.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

using namespace VerbSupport;

namespace {

class VerificationText
{
    Q_DECLARE_TR_FUNCTIONS(RecordsTool)
};

// A JSON file of this size is no certificate's points.
constexpr qint64 MaxFileSize = 1024 * 1024;

// An ISO 8601 time (local when it names no offset), or a local day.
QDateTime timeOf(const QString &text)
{
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid()) {
        const QDate day = QDate::fromString(text, Qt::ISODate);
        if (day.isValid())
            time = QDateTime(day, QTime(0, 0));
    }
    return time;
}

bool readFile(const QString &path, QJsonObject *object, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = VerificationText::tr("%1 cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(MaxFileSize), &parseError);
    if (!document.isObject()) {
        *error = VerificationText::tr("%1 is not a JSON object: %2").arg(path, parseError.errorString());
        return false;
    }
    *object = document.object();
    return true;
}

int add(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    VerbParser verb(arguments, VerificationText::tr("Records a verification made elsewhere, such as a "
                                                    "calibration service's certificate. Prints the new id."));
    verb.addDatabaseOption();
    QCommandLineParser &parser = verb.parser();
    parser.addOptions({
        {QStringLiteral("station"), VerificationText::tr("The station (its id or host name)."),
         VerificationText::tr("STATION")},
        {QStringLiteral("at"), VerificationText::tr("When it was verified (ISO 8601, local time unless it "
                                                    "names an offset)."),
         VerificationText::tr("TIME")},
        {QStringLiteral("result"), VerificationText::tr("The verdict as found: pass or fail."),
         VerificationText::tr("RESULT")},
        {QStringLiteral("as-left"), VerificationText::tr("The verdict as left after an adjustment: pass or fail."),
         VerificationText::tr("RESULT")},
        {QStringLiteral("next-due"), VerificationText::tr("The next due date (default: the lab's interval "
                                                          "after it)."),
         VerificationText::tr("DATE")},
        {QStringLiteral("file"), VerificationText::tr("The points, reference instrument and permitted "
                                                      "error (JSON, docs/records.md)."),
         VerificationText::tr("FILE")},
        {QStringLiteral("by"), VerificationText::tr("Who verified it."), VerificationText::tr("NAME")},
        {QStringLiteral("certificate"), VerificationText::tr("The certificate's number."),
         VerificationText::tr("NUMBER")},
    });
    int exitCode = RecordsTool::Success;
    if (!verb.parse(out, err, {QStringLiteral("db"), QStringLiteral("station"), QStringLiteral("at"),
                               QStringLiteral("result")},
                    &exitCode))
        return exitCode;
    MachineVerification v;
    v.station = parser.value(QStringLiteral("station")).trimmed();
    v.performedAt = timeOf(parser.value(QStringLiteral("at"))).toUTC();
    const std::optional<VerificationVerdict> asFound =
        VerificationRules::verdictFromName(parser.value(QStringLiteral("result")));
    std::optional<VerificationVerdict> asLeft;
    if (parser.isSet(QStringLiteral("as-left"))) {
        asLeft = VerificationRules::verdictFromName(parser.value(QStringLiteral("as-left")));
        if (!asLeft)
            return verb.usageError(err, VerificationText::tr("--as-left is pass or fail."));
    }
    if (!v.performedAt.isValid())
        return verb.usageError(err, VerificationText::tr("--at takes a time as 2026-12-08T10:30 or a day."));
    if (!asFound)
        return verb.usageError(err, VerificationText::tr("--result is pass or fail."));
    const QDate nextDue = QDate::fromString(parser.value(QStringLiteral("next-due")), Qt::ISODate);
    if (parser.isSet(QStringLiteral("next-due")) && !nextDue.isValid())
        return verb.usageError(err, VerificationText::tr("--next-due takes a date as yyyy-MM-dd."));

    DatabaseGuard guard;
    QSqlDatabase db;
    QString error;
    if (!verb.openDatabase(&db, &error))
        return verb.refuse(err, error);
    VerificationStore store(db);
    VerificationSettings settings;
    if (!store.readSettings(&settings))
        return verb.refuse(err, store.lastError());
    v.permittedErrorPercent = settings.permittedErrorPercent;
    QJsonObject file;
    if (parser.isSet(QStringLiteral("file"))
        && (!readFile(parser.value(QStringLiteral("file")), &file, &error) || !VerificationJson::read(file, &v, &error)))
        return verb.refuse(err, error);
    if (parser.isSet(QStringLiteral("by")))
        v.performedBy = parser.value(QStringLiteral("by"));
    v.certificatePath = parser.value(QStringLiteral("certificate"));
    v.asFoundVerdict = *asFound;
    // After an adjustment measured point by point, the points say how the
    // machine was left.
    v.asLeftVerdict = asLeft ? asLeft : VerificationRules::verdictOf(v.asLeft, v.permittedErrorPercent);
    v.nextDue = nextDue.isValid() ? nextDue
                                  : VerificationRules::nextDue(v.performedAt.toLocalTime().date(), settings.intervalMonths);
    v.source = QStringLiteral("external");
    qint64 id = 0;
    if (!store.add(v, &id))
        return verb.refuse(err, store.lastError());
    print(out, QString::number(id));
    return RecordsTool::Success;
}

int list(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    VerbParser verb(arguments, VerificationText::tr("Lists a station's verifications, oldest first."));
    verb.addDatabaseOption();
    QCommandLineParser &parser = verb.parser();
    parser.addOptions({
        {QStringLiteral("station"), VerificationText::tr("The station (its id or host name)."),
         VerificationText::tr("STATION")},
        {QStringLiteral("json"), VerificationText::tr("One JSON object per verification, with its points.")},
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
    for (const MachineVerification &v : verifications) {
        if (parser.isSet(QStringLiteral("json"))) {
            print(out, QString::fromUtf8(QJsonDocument(VerificationJson::write(v)).toJson(QJsonDocument::Compact)));
        } else {
            print(out, QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6")
                           .arg(v.id)
                           .arg(v.performedAt.toUTC().toString(Qt::ISODateWithMs),
                                VerificationRules::verdictName(v.asFoundVerdict),
                                v.asLeftVerdict ? VerificationRules::verdictName(*v.asLeftVerdict) : QStringLiteral("-"),
                                v.nextDue.toString(Qt::ISODate), v.source));
        }
    }
    return RecordsTool::Success;
}

int settings(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    VerbParser verb(arguments, VerificationText::tr("Shows the lab's verification settings, and changes "
                                                    "those given."));
    verb.addDatabaseOption();
    QCommandLineParser &parser = verb.parser();
    parser.addOptions({
        {QStringLiteral("permitted-error"), VerificationText::tr("± % of reading a point may be off."),
         VerificationText::tr("PERCENT")},
        {QStringLiteral("interval-months"), VerificationText::tr("Months until the next verification is due."),
         VerificationText::tr("MONTHS")},
        {QStringLiteral("policy"), VerificationText::tr("What Start does on an overdue or failed machine: "
                                                        "warn or block."),
         VerificationText::tr("POLICY")},
    });
    int exitCode = RecordsTool::Success;
    if (!verb.parse(out, err, {QStringLiteral("db")}, &exitCode))
        return exitCode;
    DatabaseGuard guard;
    QSqlDatabase db;
    QString error;
    if (!verb.openDatabase(&db, &error))
        return verb.refuse(err, error);
    VerificationStore store(db);
    VerificationSettings s;
    if (!store.readSettings(&s))
        return verb.refuse(err, store.lastError());
    bool changed = false;
    bool ok = true;
    if (parser.isSet(QStringLiteral("permitted-error"))) {
        s.permittedErrorPercent = NumberText::toDouble(parser.value(QStringLiteral("permitted-error")), &ok);
        changed = true;
    }
    if (ok && parser.isSet(QStringLiteral("interval-months"))) {
        s.intervalMonths = NumberText::toInt(parser.value(QStringLiteral("interval-months")), &ok);
        changed = true;
    }
    if (ok && parser.isSet(QStringLiteral("policy"))) {
        const auto policy = VerificationSettings::policyFromName(parser.value(QStringLiteral("policy")));
        ok = policy.has_value();
        s.policy = policy.value_or(s.policy);
        changed = true;
    }
    if (!ok)
        return verb.usageError(err, VerificationText::tr("--permitted-error and --interval-months take "
                                                          "numbers, --policy warn or block."));
    if (changed && !store.writeSettings(s))
        return verb.refuse(err, store.lastError());
    print(out, QStringLiteral("permitted_error_percent=%1\ninterval_months=%2\npolicy=%3")
                   .arg(s.permittedErrorPercent)
                   .arg(s.intervalMonths)
                   .arg(VerificationSettings::policyName(s.policy)));
    return RecordsTool::Success;
}

} // namespace

int verificationVerb(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    return runAction(arguments, out, err, {{"add", &add}, {"list", &list}, {"settings", &settings}});
}
