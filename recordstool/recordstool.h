#pragma once

#include <QStringList>

class QIODevice;

// torvelin-records: the lab's command-line tool for the test records.
//   torvelin-records VERB [options]        torvelin-records VERB --help
// Every verb opens the database as a station does (so an operator's login
// works wherever its role allows), with --db taking what TORVELIN_DB takes.
namespace RecordsTool {

enum ExitCode { Success = 0, Failed = 1, UsageError = 2 };

// `arguments` as QCoreApplication::arguments() gives them, program name
// first. Results go to `out`, refusals and failures (with the reason) and
// usage errors to `err`.
int run(const QStringList &arguments, QIODevice *out, QIODevice *err);

} // namespace RecordsTool
