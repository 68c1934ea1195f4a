#pragma once

#include "settings/applocations.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

// A user of their own for one test: HOME and the configuration folder point
// into a temporary folder, and the application folder counts as read-only, as
// in an install under /usr/bin. The answer is put into AppLocations because a
// test run as root writes through read-only permission bits.
class ReadOnlyInstall
{
public:
    ReadOnlyInstall()
        : oldHome(qgetenv("HOME"))
        , oldConfig(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());
        const QString applicationDir = QCoreApplication::applicationDirPath();
        AppLocations::isWritableFolder = [applicationDir](const QString &folder) {
            return !folder.startsWith(applicationDir);
        };
    }
    ~ReadOnlyInstall()
    {
        AppLocations::restoreDefaults();
        qputenv("HOME", oldHome);
        if (oldConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldConfig);
    }
    ReadOnlyInstall(const ReadOnlyInstall &) = delete;
    ReadOnlyInstall &operator=(const ReadOnlyInstall &) = delete;

    QString homePath() const { return home.path(); }

private:
    QTemporaryDir home;
    QByteArray oldHome;
    QByteArray oldConfig;
};
