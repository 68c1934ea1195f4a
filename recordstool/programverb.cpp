// torvelin-records program add|approve|retire|list: the lab's program
// library, as the window's Program → Library shows it.
#include "evaluation/programfile.h"

#include "numbers/numbertext.h"
#include "records/programlibrarystore.h"
#include "recordstool/recordstool.h"
#include "recordstool/verbsupport.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace VerbSupport;

namespace {

class ProgramText
{
    Q_DECLARE_TR_FUNCTIONS(RecordsTool)
};

int add(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    VerbParser verb(arguments, ProgramText::tr("Adds a program file to the library as a draft: the "
                                               "next version of its number. Prints the new id."));
    verb.addDatabaseOption();
    QCommandLineParser &parser = verb.parser();
    parser.addOptions({
        {QStringLiteral("file"), ProgramText::tr("The program file (JSON)."), ProgramText::tr("FILE")},
        {QStringLiteral("part"), ProgramText::tr("A part number it applies to; repeat for more."),
         ProgramText::tr("PART")},
        {QStringLiteral("name"), ProgramText::tr("Its name (default: the file's name)."), ProgramText::tr("NAME")},
    });
    int exitCode = RecordsTool::Success;
    if (!verb.parse(out, err, {QStringLiteral("db"), QStringLiteral("file"), QStringLiteral("part")}, &exitCode))
        return exitCode;
    const QString path = parser.value(QStringLiteral("file"));
    TestProgram program;
    QString error;
    if (!ProgramFile::load(path, &program, &error))
        return verb.refuse(err, error);
    const QString name = parser.isSet(QStringLiteral("name")) ? parser.value(QStringLiteral("name"))
                                                              : QFileInfo(path).completeBaseName();
    DatabaseGuard guard;
    QSqlDatabase db;
    if (!verb.openDatabase(&db, &error))
        return verb.refuse(err, error);
    ProgramLibraryStore store(db);
    qint64 id = 0;
    if (!store.add(program, name, parser.values(QStringLiteral("part")), &id))
        return verb.refuse(err, store.lastError());
    print(out, QString::number(id));
    return RecordsTool::Success;
}

// approve and retire: one version by its id.
int change(const QStringList &arguments, QIODevice *out, QIODevice *err, bool approve)
{
    VerbParser verb(arguments, approve ? ProgramText::tr("Approves a draft for its part numbers; the "
                                                         "version approved before it is retired.")
                                       : ProgramText::tr("Retires a draft or an approved version."));
    verb.addDatabaseOption();
    verb.parser().addOption({QStringLiteral("id"), ProgramText::tr("The version's id."), ProgramText::tr("N")});
    int exitCode = RecordsTool::Success;
    if (!verb.parse(out, err, {QStringLiteral("db"), QStringLiteral("id")}, &exitCode))
        return exitCode;
    bool ok = false;
    const qint64 id = NumberText::toLongLong(verb.parser().value(QStringLiteral("id")), &ok);
    if (!ok || id <= 0)
        return verb.usageError(err, ProgramText::tr("--id takes a version's id."));
    DatabaseGuard guard;
    QSqlDatabase db;
    QString error;
    if (!verb.openDatabase(&db, &error))
        return verb.refuse(err, error);
    ProgramLibraryStore store(db);
    if (!(approve ? store.approve(id) : store.retire(id)))
        return verb.refuse(err, store.lastError());
    return RecordsTool::Success;
}

int list(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    VerbParser verb(arguments, ProgramText::tr("Lists the library's versions, of one part number or "
                                               "all."));
    verb.addDatabaseOption();
    QCommandLineParser &parser = verb.parser();
    parser.addOptions({
        {QStringLiteral("part"), ProgramText::tr("Only the versions for this part number."), ProgramText::tr("PART")},
        {QStringLiteral("json"), ProgramText::tr("One JSON object per version (id, number, name, "
                                                 "version, state, parts, approved_by, approved_at).")},
    });
    int exitCode = RecordsTool::Success;
    if (!verb.parse(out, err, {QStringLiteral("db")}, &exitCode))
        return exitCode;
    DatabaseGuard guard;
    QSqlDatabase db;
    QString error;
    if (!verb.openDatabase(&db, &error))
        return verb.refuse(err, error);
    ProgramLibraryStore store(db);
    QVector<ProgramVersion> versions;
    const bool read = parser.isSet(QStringLiteral("part"))
                          ? store.readForPart(parser.value(QStringLiteral("part")), &versions)
                          : store.readAll(&versions);
    if (!read)
        return verb.refuse(err, store.lastError());
    for (const ProgramVersion &v : versions) {
        if (parser.isSet(QStringLiteral("json"))) {
            const QJsonObject object{
                {QStringLiteral("id"), v.id},
                {QStringLiteral("number"), v.number},
                {QStringLiteral("name"), v.name},
                {QStringLiteral("version"), v.version},
                {QStringLiteral("state"), LibraryRules::stateName(v.state)},
                {QStringLiteral("parts"), QJsonArray::fromStringList(v.parts)},
                {QStringLiteral("approved_by"), v.approvedAt.isValid() ? QJsonValue(v.approvedBy) : QJsonValue()},
                {QStringLiteral("approved_at"),
                 v.approvedAt.isValid() ? QJsonValue(v.approvedAt.toString(Qt::ISODateWithMs)) : QJsonValue()},
            };
            print(out, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        } else {
            print(out, QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6")
                           .arg(v.id)
                           .arg(v.number)
                           .arg(v.version)
                           .arg(LibraryRules::stateName(v.state), v.parts.join(QLatin1Char(',')), v.name));
        }
    }
    return RecordsTool::Success;
}

} // namespace

int programVerb(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    return runAction(arguments, out, err,
                     {{"add", &add},
                      {"approve", [](const QStringList &a, QIODevice *o, QIODevice *e) { return change(a, o, e, true); }},
                      {"retire", [](const QStringList &a, QIODevice *o, QIODevice *e) { return change(a, o, e, false); }},
                      {"list", &list}});
}
