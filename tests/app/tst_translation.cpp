#include "app/translation.h"
#include "langfile.h"

#include <QtTest>

#include <QLocale>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/types.h>
#endif

Q_DECLARE_METATYPE(LanguageFile::Language)

namespace {

bool chineseInstalled()
{
    return QCoreApplication::translate("languageSelectDialog", "Chinese")
        == QString::fromUtf8("中文");
}

// Qt's standard buttons (OK in a QDialogButtonBox, a message box).
bool qtButtonsInChinese()
{
    return QCoreApplication::translate("QPlatformTheme", "OK") == QString::fromUtf8("确定");
}

// A first line that ends just before the read limit cuts the next line's
// "Language:12" to "Language:1".
QByteArray lineCutAtReadLimit()
{
    QByteArray content(int(LanguageFile::MaxReadBytes) - 11, 'x');
    content += "\nLanguage:12\n";
    return content;
}

} // namespace

// Reading lang.ini and installing the Chinese catalogue at start-up.
class tst_translation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void entryValueReadsTextAfterFirstColon_data();
    void entryValueReadsTextAfterFirstColon();
    void startupAndDialogReadersPickTheirEntry_data();
    void startupAndDialogReadersPickTheirEntry();
    void entryIsWrittenWithoutLineEnd();

    void readStopsAtLimitOnWholeLine();
    void readIgnoresWhatIsNoRegularFile();

    void loadTranslationFollowsFileThenLocale_data();
    void loadTranslationFollowsFileThenLocale();
    void loadTranslationIgnoresUnreadableFile_data();
    void loadTranslationIgnoresUnreadableFile();
};

void tst_translation::init()
{
    LangFile::remove();
    LangFile::removeTranslators();
}

void tst_translation::cleanup()
{
    LangFile::remove();
    LangFile::removeTranslators();
    QLocale::setDefault(QLocale::c());
}

void tst_translation::entryValueReadsTextAfterFirstColon_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isEntry");
    QTest::addColumn<int>("value");

    QTest::newRow("plain") << QByteArray("Language:2") << true << 2;
    QTest::newRow("spaces and line end") << QByteArray("Language: 2\n") << true << 2;
    QTest::newRow("tab and CRLF") << QByteArray("Language:\t1 \r\n") << true << 1;
    QTest::newRow("nothing after colon") << QByteArray("Language:") << true << 0;
    QTest::newRow("not a number") << QByteArray("Language:Chinese") << true << 0;
    QTest::newRow("second colon") << QByteArray("Language:2:1") << true << 0;
    QTest::newRow("number and text") << QByteArray("Language:2 zh") << true << 0;
    QTest::newRow("hexadecimal") << QByteArray("Language:0x2") << true << 0;
    QTest::newRow("too large") << QByteArray("Language:99999999999") << true << 0;
    QTest::newRow("negative") << QByteArray("Language:-1") << true << -1;
    QTest::newRow("key inside line") << QByteArray("Mode=1 Language: 2") << true << 2;
    QTest::newRow("colon before key") << QByteArray("Mode:1 Language:2") << true << 0;
    QTest::newRow("lower case key") << QByteArray("language:2") << false << 0;
    QTest::newRow("key without colon") << QByteArray("Language=2") << false << 0;
    QTest::newRow("empty") << QByteArray() << false << 0;
}

void tst_translation::entryValueReadsTextAfterFirstColon()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, isEntry);
    QFETCH(int, value);

    int read = 0;
    QCOMPARE(LanguageFile::entryValue(line, &read), isEntry);
    if (isEntry)
        QCOMPARE(read, value);
}

void tst_translation::startupAndDialogReadersPickTheirEntry_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<LanguageFile::Language>("startup");
    QTest::addColumn<int>("dialog");

    QTest::newRow("empty") << QByteArray() << LanguageFile::System << 0;
    QTest::newRow("no entry") << QByteArray("[General]\nMode=2\n") << LanguageFile::System << 0;
    QTest::newRow("english") << QByteArray("Language:1") << LanguageFile::English << 1;
    QTest::newRow("chinese with CRLF") << QByteArray("\r\nLanguage:2\r\n")
                                       << LanguageFile::Chinese << 2;
    QTest::newRow("system then chinese") << QByteArray("Language:0\nLanguage:2\n")
                                         << LanguageFile::Chinese << 0;
    QTest::newRow("unknown then english") << QByteArray("Language:5\nLanguage:1")
                                          << LanguageFile::English << 5;
    QTest::newRow("not a number then english") << QByteArray("Language:2:1\nLanguage:1")
                                               << LanguageFile::English << 0;
    QTest::newRow("chinese then english") << QByteArray("Language:2\nLanguage:1")
                                          << LanguageFile::Chinese << 2;
    QTest::newRow("binary") << LangFile::binaryJunk(4096) << LanguageFile::System << 0;
}

void tst_translation::startupAndDialogReadersPickTheirEntry()
{
    QFETCH(QByteArray, content);
    QFETCH(LanguageFile::Language, startup);
    QFETCH(int, dialog);

    QCOMPARE(LanguageFile::startupChoice(content), startup);
    QCOMPARE(LanguageFile::firstEntry(content), dialog);
}

void tst_translation::entryIsWrittenWithoutLineEnd()
{
    QCOMPARE(LanguageFile::entry(LanguageFile::English), QByteArray("Language:1"));
    QCOMPARE(LanguageFile::startupChoice(LanguageFile::entry(LanguageFile::Chinese)),
             LanguageFile::Chinese);
}

void tst_translation::readStopsAtLimitOnWholeLine()
{
    QVERIFY(LangFile::write(lineCutAtReadLimit()));
    const QByteArray read = LanguageFile::read(LangFile::path());
    QVERIFY(read.size() <= LanguageFile::MaxReadBytes);
    QVERIFY(read.endsWith("x\n"));
    QCOMPARE(LanguageFile::startupChoice(read), LanguageFile::System);

    const QByteArray small("Language:2\n");
    QVERIFY(LangFile::write(small));
    QCOMPARE(LanguageFile::read(LangFile::path()), small);
}

void tst_translation::readIgnoresWhatIsNoRegularFile()
{
    QVERIFY(LangFile::makeDirectory());
    QVERIFY(LanguageFile::read(LangFile::path()).isEmpty());
    LangFile::remove();
    QVERIFY(LanguageFile::read(LangFile::path()).isEmpty());
}

void tst_translation::loadTranslationFollowsFileThenLocale_data()
{
    const QByteArray noFile;
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QLocale::Language>("locale");
    QTest::addColumn<bool>("chinese");

    QTest::newRow("no file, chinese system") << noFile << QLocale::Chinese << true;
    QTest::newRow("no file, english system") << noFile << QLocale::English << false;
    QTest::newRow("no file, german system") << noFile << QLocale::German << false;
    QTest::newRow("english on chinese system") << QByteArray("Language:1") << QLocale::Chinese
                                               << false;
    QTest::newRow("chinese on english system") << QByteArray("Language:2") << QLocale::English
                                               << true;
    QTest::newRow("system on chinese system") << QByteArray("Language:0") << QLocale::Chinese
                                              << true;
    QTest::newRow("system on english system") << QByteArray("Language:0") << QLocale::English
                                              << false;
    QTest::newRow("system then chinese") << QByteArray("Language:0\nLanguage:2")
                                         << QLocale::English << true;
    QTest::newRow("spaced value with line end") << QByteArray("Language: 2\n")
                                                << QLocale::English << true;
    QTest::newRow("second colon, english system") << QByteArray("Language:2:1")
                                                  << QLocale::English << false;
    QTest::newRow("second colon, chinese system") << QByteArray("Language:2:1")
                                                  << QLocale::Chinese << true;
    QTest::newRow("lower case key") << QByteArray("language:2") << QLocale::English << false;
    QTest::newRow("empty file") << QByteArray("") << QLocale::Chinese << true;
    QTest::newRow("binary file") << LangFile::binaryJunk(64 * 1024) << QLocale::English
                                 << false;
    QTest::newRow("choice before 10 MB")
        << QByteArray("Language:2\n") + QByteArray(10 * 1024 * 1024, 'x') << QLocale::English
        << true;
    QTest::newRow("choice after 10 MB")
        << QByteArray(10 * 1024 * 1024, '\n') + "Language:2\n" << QLocale::English << false;
    QTest::newRow("10 MB line") << QByteArray(10 * 1024 * 1024, 'x') << QLocale::Chinese
                                << true;
    QTest::newRow("line cut at read limit") << lineCutAtReadLimit() << QLocale::Chinese
                                            << true;
}

void tst_translation::loadTranslationFollowsFileThenLocale()
{
    QFETCH(QByteArray, content);
    QFETCH(QLocale::Language, locale);
    QFETCH(bool, chinese);

    if (!content.isNull())
        QVERIFY(LangFile::write(content));
    QLocale::setDefault(QLocale(locale));

    loadTranslation();

    QCOMPARE(chineseInstalled(), chinese);
    // Ours and Qt's own (scripts/install-deps installs it).
    QCOMPARE(LangFile::installedTranslators(), chinese ? 2 : 0);
    QCOMPARE(qtButtonsInChinese(), chinese);
}

void tst_translation::loadTranslationIgnoresUnreadableFile_data()
{
    QTest::addColumn<QString>("kind");

    QTest::newRow("directory") << "directory";
#ifdef Q_OS_UNIX
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("endless device") << "device";
#endif
}

void tst_translation::loadTranslationIgnoresUnreadableFile()
{
    QFETCH(QString, kind);

    if (kind == QLatin1String("directory")) {
        QVERIFY(LangFile::makeDirectory());
    } else if (kind == QLatin1String("fifo")) {
#ifdef Q_OS_UNIX
        // Opening a pipe with no writer would block for ever.
        QCOMPARE(::mkfifo(QFile::encodeName(LangFile::path()).constData(), 0600), 0);
#endif
    } else {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), LangFile::path()));
    }
    QLocale::setDefault(QLocale(QLocale::Chinese));

    loadTranslation();

    QVERIFY(chineseInstalled());
}

QTEST_MAIN(tst_translation)
#include "tst_translation.moc"
