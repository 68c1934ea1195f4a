#include "settings/applocations.h"

#include <QtTest>

#include <QFile>
#include <QTemporaryDir>

// Where lang.ini and the Data folder go, beside the executable or in the
// user's folders.
class tst_applocations : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void placeFollowsWhatCanBeWritten_data();
    void placeFollowsWhatCanBeWritten();
    void probeTellsWritableFolders();
    void probeTellsReadOnlyFolder();
};

void tst_applocations::cleanup()
{
    AppLocations::restoreDefaults();
}

void tst_applocations::placeFollowsWhatCanBeWritten_data()
{
    QTest::addColumn<bool>("applicationDirWritable");
    QTest::addColumn<bool>("languageFileThere");
    QTest::addColumn<bool>("dataDirThereWritable");
    QTest::addColumn<QString>("languageFile");
    QTest::addColumn<QString>("dataDir");

    const QString app = "/opt/torvelin/lang.ini";
    const QString user = "/home/op/.config/torvelin/lang.ini";
    const QString appData = "/opt/torvelin/Data";
    const QString userData = "/home/op/Documents/Torvelin/Data";
    QTest::newRow("portable install") << true << false << false << app << appData;
    QTest::newRow("portable, both there") << true << true << true << app << appData;
    QTest::newRow("read-only install") << false << false << false << user << userData;
    QTest::newRow("read-only, lang.ini there is read first")
        << false << true << false << app << userData;
    QTest::newRow("read-only, writable Data there") << false << false << true << user << appData;
}

void tst_applocations::placeFollowsWhatCanBeWritten()
{
    QFETCH(bool, applicationDirWritable);
    QFETCH(bool, languageFileThere);
    QFETCH(bool, dataDirThereWritable);
    QFETCH(QString, languageFile);
    QFETCH(QString, dataDir);

    AppLocations::Facts facts;
    facts.applicationDir = "/opt/torvelin";
    facts.applicationDirWritable = applicationDirWritable;
    facts.languageFileBesideExecutable = languageFileThere;
    facts.dataDirBesideExecutableWritable = dataDirThereWritable;
    facts.configDir = "/home/op/.config/torvelin";
    facts.documentsDir = "/home/op/Documents";

    QCOMPARE(AppLocations::languageFilePath(facts), languageFile);
    QCOMPARE(AppLocations::dataDirectory(facts), dataDir);
}

void tst_applocations::probeTellsWritableFolders()
{
    QTemporaryDir dir;
    QVERIFY(AppLocations::isWritableFolder(dir.path()));
    QVERIFY(!AppLocations::isWritableFolder(dir.filePath("missing")));
    // The probe leaves nothing behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void tst_applocations::probeTellsReadOnlyFolder()
{
    QTemporaryDir dir;
    const QFile::Permissions readOnly =
        QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;
    QVERIFY(QFile::setPermissions(dir.path(), readOnly));
    QFile attempt(dir.filePath("attempt"));
    const bool writesThrough = attempt.open(QIODevice::WriteOnly);
    attempt.remove();
    const bool probed = AppLocations::isWritableFolder(dir.path());
    QFile::setPermissions(dir.path(), readOnly | QFile::WriteOwner);
    if (writesThrough)
        QSKIP("This user (root) writes through read-only permission bits.");
    QVERIFY(!probed);
}

QTEST_MAIN(tst_applocations)
#include "tst_applocations.moc"
