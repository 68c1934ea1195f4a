#pragma once

// Runs torvelin-records (TORVELIN_RECORDS names the built program) and
// keeps what it printed.
#include "records/databaseconfig.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QUrl>

struct RecordsToolRun
{
    int exitCode = -1;
    QString out;
    QString err;

    // `input`: what the program reads on its standard input.
    static RecordsToolRun of(const QStringList &arguments, const QByteArray &input = QByteArray())
    {
        QProcess process;
        process.start(qEnvironmentVariable("TORVELIN_RECORDS"), arguments);
        process.write(input);
        process.closeWriteChannel();
        RecordsToolRun run;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return run;
        run.exitCode = process.exitCode();
        run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }
};

// The postgresql:// address --db takes for a login.
inline QString databaseUrl(const DatabaseConfig &config, const QString &parameters = QString())
{
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setHost(config.host);
    url.setPort(config.port);
    url.setUserName(config.user);
    url.setPassword(config.password);
    url.setPath(QLatin1Char('/') + config.database);
    url.setQuery(parameters);
    return url.toString();
}
