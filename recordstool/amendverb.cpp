// torvelin-records amend: a reviewer corrects a test's serial number, batch
// or part number with a reason. The old value stays in the amendments and
// the audit trail; on PostgreSQL the server checks the reviewer's password
// for this one act, as History's Amend… does.
#include "numbers/numbertext.h"
#include "records/review.h"
#include "recordstool/recordstool.h"
#include "recordstool/verbsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

using namespace VerbSupport;

namespace {

class AmendText
{
    Q_DECLARE_TR_FUNCTIONS(RecordsTool)
};

struct FieldOption
{
    const char *option;
    const QString &field;
};

// The option of each field a reviewer may correct.
const FieldOption FieldOptions[] = {
    {"serial", RecordsReview::SerialNumber},
    {"batch", RecordsReview::Batch},
    {"part", RecordsReview::PartNumber},
};

// The password for this act when the address carries none: one line of
// standard input, so that a script can pipe it and a person can type it.
QString passwordFromInput(const QString &login, QIODevice *err)
{
    err->write(AmendText::tr("Password for %1: ").arg(login).toUtf8());
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromLocal8Bit(input.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
}

} // namespace

int amendVerb(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    VerbParser verb(arguments,
                    AmendText::tr("Corrects a test's serial number, batch or part number, with the reason. "
                                  "Nothing is overwritten: the value before stays in the amendments and the "
                                  "audit trail. On PostgreSQL the login of --db must be a reviewer; its "
                                  "password is checked by the server for this amendment (from the address, "
                                  "else one line of standard input)."));
    verb.addDatabaseOption();
    QCommandLineParser &parser = verb.parser();
    parser.addOptions({
        {QStringLiteral("id"), AmendText::tr("The test."), AmendText::tr("N")},
        {QStringLiteral("serial"), AmendText::tr("The serial number it should have."), AmendText::tr("S")},
        {QStringLiteral("batch"), AmendText::tr("The batch it should have."), AmendText::tr("B")},
        {QStringLiteral("part"), AmendText::tr("The part number it should have."), AmendText::tr("P")},
        {QStringLiteral("reason"), AmendText::tr("Why the value was wrong (kept in the audit trail)."),
         AmendText::tr("R")},
    });
    int exitCode = RecordsTool::Success;
    if (!verb.parse(out, err, {QStringLiteral("db"), QStringLiteral("id"), QStringLiteral("reason")}, &exitCode))
        return exitCode;

    QVector<const FieldOption *> given;
    for (const FieldOption &option : FieldOptions) {
        if (parser.isSet(QLatin1String(option.option)))
            given << &option;
    }
    if (given.size() != 1)
        return verb.usageError(err, AmendText::tr("Give one of --serial, --batch and --part."));
    bool isNumber = false;
    const qint64 testId = NumberText::toLongLong(parser.value(QStringLiteral("id")), &isNumber);
    if (!isNumber || testId <= 0)
        return verb.usageError(err, AmendText::tr("--id takes a test's number, not \"%1\".")
                                        .arg(parser.value(QStringLiteral("id"))));
    DatabaseConfig config;
    QString error;
    if (!verb.databaseConfig(&config, &error))
        return verb.usageError(err, error);
    // Correcting a mistyped path would make an empty database there.
    if (config.engine == DatabaseConfig::SQLite && !QFileInfo::exists(config.sqlitePath))
        return verb.refuse(err, AmendText::tr("There is no database file %1.").arg(config.sqlitePath));

    RecordsReview::Signer signer;
    if (RecordsReview::checksPassword(config)) {
        signer.login = config.user;
        signer.password = config.password.isEmpty() ? passwordFromInput(config.user, err) : config.password;
    }
    const FieldOption &field = *given.first();
    if (!RecordsReview::amend(config, signer, testId, field.field, parser.value(QLatin1String(field.option)),
                              parser.value(QStringLiteral("reason")), &error))
        return verb.refuse(err, error);
    print(out, AmendText::tr("Test %1: %2 amended.").arg(testId).arg(QLatin1String(field.option)));
    return RecordsTool::Success;
}
