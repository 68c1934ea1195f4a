#pragma once

#include <QStringList>

class QIODevice;

// One verb of torvelin-records: its arguments begin with the program's and
// the verb's name ("torvelin-records export --db …"); it prints its result
// on `out`, its reasons on `err`, and returns a RecordsTool::ExitCode.
using VerbRun = int (*)(const QStringList &arguments, QIODevice *out, QIODevice *err);

struct Verb
{
    const char *name;
    const char *summary; // QT_TRANSLATE_NOOP("RecordsTool", …)
    VerbRun run;
};
