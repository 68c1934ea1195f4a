#pragma once

#include <QCoreApplication>
#include <QStringList>

class QIODevice;

// torvelin-records VERB [OPTIONS]: the records database from the command
// line, for the quality engineer and the lab's scripts. Each verb has its
// own options and --help; `torvelin-records --help` lists the verbs.
class RecordsTool
{
    Q_DECLARE_TR_FUNCTIONS(RecordsTool)

public:
    enum ExitCode {
        Success = 0,
        Refused = 1,    // the verb could not do it; the reason is on standard error
        UsageError = 2, // unknown verb or option, missing value
    };

    // `arguments` as QCoreApplication::arguments() gives them, program name
    // first.
    static int run(const QStringList &arguments, QIODevice *out, QIODevice *err);
};
