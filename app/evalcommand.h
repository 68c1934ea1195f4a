#pragma once

#include <QCoreApplication>
#include <QStringList>

class QIODevice;

// torvelin-eval: judges saved curve files against a program file, headless.
//   torvelin-eval --program PROGRAM.json CURVE.txt [CURVE.txt …]
// One JSON line per curve file on `out` (ResultJson); messages on `err`,
// each naming the file concerned.
class EvalCommand
{
    Q_DECLARE_TR_FUNCTIONS(EvalCommand)

public:
    enum ExitCode { AllPassed = 0, SomeFailed = 1, UsageOrFileError = 2 };

    // `arguments` as QCoreApplication::arguments() gives them, program name
    // first. A file that cannot be read is reported and the others are still
    // judged; the exit code is then UsageOrFileError.
    static int run(const QStringList &arguments, QIODevice *out, QIODevice *err);
};
