#pragma once

#include <QString>

#include <functional>

// The places where the program writes what the operator keeps: lang.ini and
// the Data folder of curve files and pictures. Portable installs keep both
// beside the executable, as operators have always had them; an install in a
// folder the operator cannot write (such as /usr/bin) keeps them in the
// operator's own folders instead.
struct AppLocations
{
    // lang.ini beside the executable when one is already there (it is always
    // read first) or when that folder is writable; otherwise lang.ini in the
    // user's configuration folder (QStandardPaths::AppConfigLocation). The
    // folder of the returned path may not exist yet.
    static QString languageFilePath();

    // The Data folder beside the executable when it can be written there,
    // otherwise Documents/Torvelin/Data; created when missing.
    static QString dataDirectory();

    // Whether files can be created in a folder. The default tries to create
    // one, which is what counts on every platform (permission bits and ACLs
    // alike); tests put their own answer in, since a test run as root writes
    // through read-only permissions.
    using FolderProbe = std::function<bool(const QString &folder)>;
    static FolderProbe isWritableFolder;
    static void restoreDefaults();

    // The rules above with the facts they depend on handed in, so that they
    // can be checked without touching the disk.
    struct Facts
    {
        QString applicationDir;
        bool applicationDirWritable = false;
        bool languageFileBesideExecutable = false;
        bool dataDirBesideExecutableWritable = false;
        QString configDir;
        QString documentsDir;
    };
    static QString languageFilePath(const Facts &facts);
    static QString dataDirectory(const Facts &facts);
};
