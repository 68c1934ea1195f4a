#pragma once

#include "evaluation/testprogram.h"

#include <QCoreApplication>
#include <QByteArray>
#include <QString>

// A test program file: JSON, one program a file (docs/program-file.md).
// A missing key reads as 0; a key this program does not know is kept and
// written back. A value of the wrong kind (text where a number belongs),
// more than five points, or text that is no JSON object is refused with a
// reason, never judged as a 0.
class ProgramFile
{
    Q_DECLARE_TR_FUNCTIONS(ProgramFile)

public:
    static constexpr char Suffix[] = "json";

    static bool fromJson(const QByteArray &json, TestProgram *program, QString *error);
    static QByteArray toJson(const TestProgram &program);

    // The file at `path`; on failure *program is untouched and the reason
    // lands in *error.
    static bool load(const QString &path, TestProgram *program, QString *error);
    // Written through a QSaveFile: the whole file or the old one.
    static bool save(const QString &path, const TestProgram &program, QString *error);
};
