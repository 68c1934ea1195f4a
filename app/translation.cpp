#include "app/translation.h"

#include "numbers/numbertext.h"

#include "settings/applocations.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

const char EntryKey[] = "Language:";
const char CatalogueResource[] = ":/language/cn.qm";

void installChinese()
{
    // Qt's own texts first: a translator installed later is asked first, so
    // that ours decides wherever both have a text.
    auto *qtTexts = new QTranslator(QCoreApplication::instance());
    if (loadQtChinese(qtTexts))
        QCoreApplication::installTranslator(qtTexts);
    else
        delete qtTexts;

    // Parented to the application so that it lives exactly as long. A catalogue
    // that fails to load leaves an empty translator: the interface stays English.
    auto *translator = new QTranslator(QCoreApplication::instance());
    translator->load(QString::fromLatin1(CatalogueResource));
    QCoreApplication::installTranslator(translator);
}

} // namespace

bool loadQtChinese(QTranslator *translator)
{
    return translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                            QStringLiteral("_"),
                            QLibraryInfo::location(QLibraryInfo::TranslationsPath));
}

namespace LanguageFile {

QString path()
{
    return AppLocations::languageFilePath();
}

QByteArray read(const QString &filePath)
{
    if (!QFileInfo(filePath).isFile())
        return QByteArray();
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QByteArray();
    QByteArray content = file.read(MaxReadBytes);
    if (!file.atEnd()) {
        // A line cut at the cap could read as another value ("Language:12"
        // as "Language:1"), so the unfinished last line is dropped.
        content.truncate(content.lastIndexOf('\n') + 1);
    }
    return content;
}

bool entryValue(const QByteArray &line, int *value)
{
    if (!line.contains(EntryKey))
        return false;
    bool ok = false;
    const int number = NumberText::toInt(QString::fromLatin1(line.mid(line.indexOf(':') + 1)), &ok);
    *value = ok ? number : 0;
    return true;
}

QByteArray entry(int language)
{
    return QByteArray(EntryKey) + QByteArray::number(language);
}

Language startupChoice(const QByteArray &content)
{
    for (const QByteArray &line : content.split('\n')) {
        int value = 0;
        if (entryValue(line, &value) && (value == English || value == Chinese))
            return static_cast<Language>(value);
    }
    return System;
}

int firstEntry(const QByteArray &content)
{
    for (const QByteArray &line : content.split('\n')) {
        int value = 0;
        if (entryValue(line, &value))
            return value;
    }
    return System;
}

} // namespace LanguageFile

void loadTranslation()
{
    switch (LanguageFile::startupChoice(LanguageFile::read(LanguageFile::path()))) {
    case LanguageFile::English:
        return;
    case LanguageFile::Chinese:
        installChinese();
        return;
    case LanguageFile::System:
        if (QLocale().language() == QLocale::Chinese)
            installChinese();
        return;
    }
}
