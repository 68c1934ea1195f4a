// torvelin-records export: the History window's CSV or the Q-DAS file of a
// filter, written whole or not at all.
#include "records/recordqueries.h"
#include "records/resultscsv.h"
#include "qdas/dfqexport.h"
#include "recordstool/recordstool.h"
#include "recordstool/verbsupport.h"

#include <QSaveFile>

using namespace VerbSupport;

namespace {

class ExportText
{
    Q_DECLARE_TR_FUNCTIONS(RecordsTool)
};

} // namespace

int exportVerb(const QStringList &arguments, QIODevice *out, QIODevice *err)
{
    VerbParser verb(arguments, ExportText::tr("Writes the tests of a filter as the History "
                                              "window's CSV or as one Q-DAS file (.dfq) of the "
                                              "part number."));
    verb.addDatabaseOption();
    verb.addFilterOptions();
    QCommandLineParser &parser = verb.parser();
    parser.addOptions({
        {QStringLiteral("format"), ExportText::tr("csv or dfq."), ExportText::tr("FORMAT")},
        {QStringLiteral("encoding"),
         ExportText::tr("Of the Q-DAS file: windows-1252 (the default) or utf-8."),
         ExportText::tr("ENCODING"), QStringLiteral("windows-1252")},
        {QStringLiteral("out"), ExportText::tr("The file to write."), ExportText::tr("FILE")},
    });
    int exitCode = RecordsTool::Success;
    if (!verb.parse(out, err, {QStringLiteral("db"), QStringLiteral("format"), QStringLiteral("part"),
                               QStringLiteral("out")},
                    &exitCode))
        return exitCode;
    const QString format = parser.value(QStringLiteral("format"));
    const QString encodingName = parser.value(QStringLiteral("encoding")).toLower();
    const bool csv = format == QLatin1String("csv");
    if ((!csv && format != QLatin1String("dfq"))
        || (encodingName != QLatin1String("windows-1252") && encodingName != QLatin1String("utf-8"))) {
        print(err, ExportText::tr("%1: --format is csv or dfq, --encoding windows-1252 or utf-8.")
                       .arg(verb.command()));
        return RecordsTool::UsageError;
    }

    DatabaseGuard guard;
    QSqlDatabase db;
    QString error;
    const HistoryFilter filter = verb.filter();
    QVector<StoredTest> tests;
    QByteArray bytes;
    bool made = verb.openDatabase(&db, &error) && RecordQueries::loadTests(db, filter, &tests, &error);
    if (made && csv) {
        bytes = ResultsCsv::document(tests);
    } else if (made) {
        made = DfqExport::file(filter.partNumber, tests,
                               encodingName == QLatin1String("utf-8") ? Dfq::Encoding::Utf8
                                                                      : Dfq::Encoding::Windows1252,
                               &bytes, &error);
    }
    const QString fileName = parser.value(QStringLiteral("out"));
    QSaveFile file(fileName);
    if (made && (!file.open(QIODevice::WriteOnly) || file.write(bytes) < 0 || !file.commit())) {
        error = ExportText::tr("%1 cannot be written: %2").arg(fileName, file.errorString());
        made = false;
    }
    if (!made)
        return verb.refuse(err, error);
    return RecordsTool::Success;
}
