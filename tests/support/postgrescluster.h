#pragma once

#include "records/databaseconfig.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A throwaway PostgreSQL server for one test: initdb and pg_ctl from
// Debian's postgresql (15) in a temporary folder, on a free port of
// 127.0.0.1, trusting local connections. Run as root, the server runs as
// the postgres user, which owns the folder. The destructor stops it and
// removes the folder.
//
//     PostgresCluster cluster;
//     QVERIFY2(cluster.start(), qPrintable(cluster.errorString()));
//     DatabaseConfig config = cluster.config("records");
class PostgresCluster
{
public:
    PostgresCluster();
    ~PostgresCluster();
    PostgresCluster(const PostgresCluster &) = delete;
    PostgresCluster &operator=(const PostgresCluster &) = delete;

    // initdb (first time only) and start; waits until it accepts connections.
    bool start();
    // pg_ctl stop -m fast: clients lose their connections.
    bool stop();
    // A new, empty database; its connection settings.
    bool createDatabase(const QString &name);
    DatabaseConfig config(const QString &database) const;
    QString errorString() const { return m_error; }

    static QString binDirectory();

private:
    bool run(const QString &program, const QStringList &arguments, int timeoutMs);

    QTemporaryDir m_folder;
    QString m_dataDirectory;
    int m_port = 0;
    bool m_initialised = false;
    bool m_running = false;
    QString m_error;
};
