#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

// One version of a program in the lab's library, as plain values. A program
// is known by its number; its versions count up from 1. The program itself
// is kept as the JSON of a program file (docs/program-file.md), so a version
// reads the same whatever this program's TestProgram later learns.
enum class ProgramState { Draft, Approved, Retired };

struct ProgramVersion
{
    qint64 id = 0;
    int number = 0;
    QString name;
    int version = 0;
    ProgramState state = ProgramState::Draft;
    QStringList parts;      // the part numbers it judges, trimmed, each once
    QByteArray programJson; // as a program file holds it
    QString createdBy;
    QDateTime createdAt;    // UTC
    QString approvedBy;     // empty until approved
    QDateTime approvedAt;
    QString retiredBy;      // empty until retired
    QDateTime retiredAt;

    bool appliesTo(const QString &part) const { return parts.contains(part); }
};

// What the window chose to judge the next test with, as far as the library
// is concerned: a version of the library, or something else (a program file,
// a machine program, nothing) that carries no library id.
struct LibraryChoice
{
    qint64 id = 0; // 0: not from the library
    int number = 0;
    int version = 0;

    bool fromLibrary() const { return id > 0; }
};

Q_DECLARE_METATYPE(ProgramVersion)
