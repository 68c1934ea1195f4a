#include "recordstool/recordstool.h"

#include "recordstool/verb.h"
#include "recordstool/verbs.h"

#include <QCoreApplication>
#include <QIODevice>

namespace RecordsTool {

namespace {

// One row per verb; a verb's code is a file of its own (verbs.h).
const Verb Verbs[] = {
    {"init", QT_TRANSLATE_NOOP("RecordsTool",
                               "Creates or upgrades the schema, the roles, their rights and the "
                               "audit trail (the lab's administrator, once)."),
     &runInit},
};

QString tr(const char *text)
{
    return QCoreApplication::translate("RecordsTool", text);
}

QString overview()
{
    QString text = tr("Usage: torvelin-records VERB [options]\n"
                      "The test records of Torvelin, for the lab. 'torvelin-records VERB --help' "
                      "describes a verb.\n"
                      "Exit status: 0 done, 1 refused or failed (the reason on standard error), "
                      "2 usage error.\n\nVerbs:\n");
    for (const Verb &verb : Verbs)
        text += QStringLiteral("  %1  %2\n").arg(QLatin1String(verb.name), -8).arg(tr(verb.summary));
    return text;
}

} // namespace

int run(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    const Io io{out, err};
    const QString verbName = arguments.value(1);
    if (verbName == QLatin1String("--help") || verbName == QLatin1String("-h")
        || verbName == QLatin1String("help")) {
        io.out->write(overview().toLocal8Bit());
        return Success;
    }
    for (const Verb &verb : Verbs) {
        if (verbName == QLatin1String(verb.name))
            return verb.run(arguments.mid(1), io);
    }
    io.complain(verbName.isEmpty() ? tr("no verb given.")
                                   : tr("no verb '%1'.").arg(verbName));
    io.err->write(overview().toLocal8Bit());
    return UsageError;
}

} // namespace RecordsTool
