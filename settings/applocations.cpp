#include "settings/applocations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

const char LanguageFileName[] = "lang.ini";
const char DataFolderName[] = "Data";
// Under the user's documents, so that the operator finds the curves there.
const char DocumentsSubfolder[] = "Torvelin";

bool canCreateFileIn(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(folder + QStringLiteral("/.torvelin-write-probe-XXXXXX"));
    return probe.open();
}

QString besideExecutable(const char *name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name);
}

AppLocations::Facts currentFacts()
{
    AppLocations::Facts facts;
    facts.applicationDir = QCoreApplication::applicationDirPath();
    facts.applicationDirWritable = AppLocations::isWritableFolder(facts.applicationDir);
    facts.languageFileBesideExecutable = QFileInfo::exists(besideExecutable(LanguageFileName));
    const QString data = besideExecutable(DataFolderName);
    facts.dataDirBesideExecutableWritable =
        QFileInfo(data).isDir() && AppLocations::isWritableFolder(data);
    facts.configDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    facts.documentsDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (facts.documentsDir.isEmpty())
        facts.documentsDir = QDir::homePath();
    return facts;
}

} // namespace

AppLocations::FolderProbe AppLocations::isWritableFolder = canCreateFileIn;

void AppLocations::restoreDefaults()
{
    isWritableFolder = canCreateFileIn;
}

QString AppLocations::languageFilePath(const Facts &facts)
{
    if (facts.languageFileBesideExecutable || facts.applicationDirWritable)
        return facts.applicationDir + QLatin1Char('/') + QLatin1String(LanguageFileName);
    return facts.configDir + QLatin1Char('/') + QLatin1String(LanguageFileName);
}

QString AppLocations::dataDirectory(const Facts &facts)
{
    if (facts.dataDirBesideExecutableWritable || facts.applicationDirWritable)
        return facts.applicationDir + QLatin1Char('/') + QLatin1String(DataFolderName);
    return facts.documentsDir + QLatin1Char('/') + QLatin1String(DocumentsSubfolder)
           + QLatin1Char('/') + QLatin1String(DataFolderName);
}

QString AppLocations::languageFilePath()
{
    return languageFilePath(currentFacts());
}

QString AppLocations::dataDirectory()
{
    const QString path = dataDirectory(currentFacts());
    // A folder that cannot be made still goes to the file dialog, which then
    // shows the nearest folder that exists.
    QDir().mkpath(path);
    return path;
}
