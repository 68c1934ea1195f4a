#pragma once

// lang.ini beside the test executable, where the program looks for it, and
// the translators a test may have left installed on the application.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTranslator>

namespace LangFile {

inline QString path()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/lang.ini");
}

inline void remove()
{
    if (QFileInfo(path()).isDir())
        QDir(path()).removeRecursively();
    else
        QFile::remove(path());
}

inline bool write(const QByteArray &content)
{
    remove();
    QFile file(path());
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Reads back what is there, or a null array when there is no file.
inline QByteArray contents()
{
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

inline bool makeDirectory()
{
    remove();
    return QDir().mkpath(path());
}

inline void removeTranslators()
{
    const auto translators = QCoreApplication::instance()->findChildren<QTranslator *>();
    for (QTranslator *translator : translators)
        delete translator;
}

inline int installedTranslators()
{
    return QCoreApplication::instance()->findChildren<QTranslator *>().size();
}

// Every byte value, NULs and line ends included, over and over.
inline QByteArray binaryJunk(int size)
{
    QByteArray junk(size, '\0');
    for (int i = 0; i < size; ++i)
        junk[i] = char((i * 7 + 3) & 0xff);
    return junk;
}

} // namespace LangFile
