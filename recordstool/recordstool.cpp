#include "recordstool/recordstool.h"

#include "recordstool/verb.h"
#include "recordstool/verbsupport.h"

#include <QIODevice>

// Each verb lives in a file of its own; adding one is that file, its
// declaration and its row here.
int amendVerb(const QStringList &arguments, QIODevice *out, QIODevice *err);
int exportVerb(const QStringList &arguments, QIODevice *out, QIODevice *err);
int initVerb(const QStringList &arguments, QIODevice *out, QIODevice *err);
int programVerb(const QStringList &arguments, QIODevice *out, QIODevice *err);
int verificationVerb(const QStringList &arguments, QIODevice *out, QIODevice *err);
int suspectsVerb(const QStringList &arguments, QIODevice *out, QIODevice *err);
int statsVerb(const QStringList &arguments, QIODevice *out, QIODevice *err);

namespace {

const Verb Verbs[] = {
    {"amend", QT_TRANSLATE_NOOP("RecordsTool", "Corrects a test's serial number, batch or part number with a reason (a reviewer)."),
     &amendVerb},
    {"export", QT_TRANSLATE_NOOP("RecordsTool", "Writes the tests of a filter as CSV or Q-DAS (.dfq)."),
     &exportVerb},
    {"init", QT_TRANSLATE_NOOP("RecordsTool",
                               "Creates or upgrades the schema, the roles, their rights and the "
                               "audit trail (the lab's administrator, once)."),
     &initVerb},
    {"program", QT_TRANSLATE_NOOP("RecordsTool", "The program library: add, approve, retire, list."),
     &programVerb},
    {"verification", QT_TRANSLATE_NOOP("RecordsTool", "The machines' verifications: add, list, settings."),
     &verificationVerb},
    {"stats", QT_TRANSLATE_NOOP("RecordsTool",
                                "A test point's capability and control chart over a filter."),
     &statsVerb},
    {"suspects", QT_TRANSLATE_NOOP("RecordsTool", "The tests a failed verification puts in doubt."),
     &suspectsVerb},
};

QString usage(const QString &program)
{
    QString text = RecordsTool::tr("Usage: %1 VERB [OPTIONS]\n"
                                   "The test records from the command line. "
                                   "%1 VERB --help describes a verb.\n\nVerbs:\n")
                       .arg(program);
    for (const Verb &verb : Verbs)
        text += QStringLiteral("  %1  %2\n").arg(QLatin1String(verb.name), -13).arg(RecordsTool::tr(verb.summary));
    text += RecordsTool::tr("\nExit status: 0 done, 1 refused or failed (the reason on standard "
                            "error), 2 usage error.\n");
    return text;
}

} // namespace

int RecordsTool::run(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    const QString program = arguments.value(0, QStringLiteral("torvelin-records"));
    const QString name = arguments.value(1);
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        VerbSupport::print(out, usage(program));
        return Success;
    }
    for (const Verb &verb : Verbs) {
        if (name == QLatin1String(verb.name))
            return verb.run(arguments, out, err);
    }
    VerbSupport::print(err, name.isEmpty()
                                ? usage(program)
                                : tr("%1: no verb \"%2\".").arg(program, name) + QLatin1Char('\n')
                                      + usage(program));
    return UsageError;
}
