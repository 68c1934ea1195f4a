#pragma once

#include "records/databaseconfig.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

class QIODevice;

namespace RecordsTool {

// Where a verb writes: results to out, refusals and usage errors to err.
struct Io
{
    QIODevice *out;
    QIODevice *err;

    void say(const QString &line) const;
    void complain(const QString &line) const;
};

// A verb: its name, one line for the tool's own --help, and its function,
// which gets the arguments from the verb on ("init", "--db", …) and returns
// the tool's exit code. The table of verbs is in recordstool.cpp.
struct Verb
{
    const char *name;
    const char *summary; // translated in the context "RecordsTool"
    int (*run)(const QStringList &arguments, const Io &io);
};

// The options of one verb, parsed alike for every verb: --help prints the
// verb's usage, an unknown option or a missing value is a usage error.
class VerbOptions
{
    Q_DECLARE_TR_FUNCTIONS(VerbOptions)

public:
    VerbOptions(const QString &verb, const QString &description);

    QCommandLineParser &parser() { return m_parser; }
    // --db URL|FILE, what TORVELIN_DB takes.
    void addDatabaseOption();

    // False when the verb is to end at once; *exitCode then says how
    // (Success after --help, UsageError after a usage error, told on err).
    bool parse(const QStringList &arguments, const Io &io, int *exitCode);
    // The database --db names, else the station's (TORVELIN_DB, then
    // Records → Database). False, told, when --db cannot be read.
    bool database(DatabaseConfig *config, const Io &io) const;

private:
    QString m_verb;
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_database;
    bool m_hasDatabase = false;
};

} // namespace RecordsTool
