#include "app/evalcommand.h"

#include "evaluation/evaluation.h"
#include "evaluation/programfile.h"
#include "evaluation/resultjson.h"
#include "curves/curvefile.h"

#include <QCommandLineParser>
#include <QIODevice>

namespace {

void say(QIODevice *device, const QString &text)
{
    device->write(text.toLocal8Bit());
    device->write("\n");
}

} // namespace

int EvalCommand::run(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Judges saved curve files against a test program and prints one JSON line per file.\n"
           "Exit status: 0 every file passes, 1 a file fails, 2 usage error or unreadable file."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption programOption(QStringLiteral("program"),
                                           tr("The test program (JSON)."), tr("PROGRAM.json"));
    parser.addOption(programOption);
    parser.addPositionalArgument(QStringLiteral("CURVE.txt"), tr("Curve files to judge."),
                                 tr("CURVE.txt [CURVE.txt …]"));

    const QString name = arguments.value(0, QStringLiteral("torvelin-eval"));
    if (!parser.parse(arguments)) {
        say(err, QStringLiteral("%1: %2").arg(name, parser.errorText()));
        return UsageOrFileError;
    }
    if (parser.isSet(helpOption)) {
        out->write(parser.helpText().toLocal8Bit());
        return AllPassed;
    }
    const QStringList files = parser.positionalArguments();
    if (!parser.isSet(programOption) || files.isEmpty()) {
        say(err, tr("%1: a program (--program PROGRAM.json) and at least one curve file are needed.")
                     .arg(name));
        return UsageOrFileError;
    }

    const QString programPath = parser.value(programOption);
    TestProgram program;
    QString failure;
    if (!ProgramFile::load(programPath, &program, &failure)) {
        say(err, QStringLiteral("%1: %2: %3").arg(name, programPath, failure));
        return UsageOrFileError;
    }

    bool unreadable = false;
    bool failed = false;
    for (const QString &file : files) {
        TestCurves curves;
        if (!CurveFile::load(file, &curves, &failure)) {
            say(err, QStringLiteral("%1: %2: %3").arg(name, file, failure));
            unreadable = true;
            continue;
        }
        const Evaluation evaluation = SpringEvaluation::evaluate(curves, program);
        failed = failed || !evaluation.passed();
        out->write(ResultJson::line(file, evaluation) + '\n');
    }
    if (unreadable)
        return UsageOrFileError;
    return failed ? SomeFailed : AllPassed;
}
