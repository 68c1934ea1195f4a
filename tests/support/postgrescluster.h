#pragma once

#include "records/databaseconfig.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A throwaway PostgreSQL server for one test: initdb and pg_ctl from
// Debian's postgresql (15) in a temporary folder, on a free port of
// 127.0.0.1. It trusts every connection, or, with Password, asks every
// login for its password (scram-sha-256), as a lab's server does. Run as
// root, the server runs as the postgres user, which owns the folder. The
// destructor stops it and removes the folder.
//
//     PostgresCluster cluster(PostgresCluster::Password);
//     QVERIFY2(cluster.start(), qPrintable(cluster.errorString()));
//     QVERIFY(cluster.createDatabase("records"));
//     DatabaseConfig admin = cluster.config("records");   // the superuser, password included
//     QVERIFY(cluster.execute("records", {"CREATE ROLE anna LOGIN PASSWORD 'a'"}));
class PostgresCluster
{
public:
    enum Authentication { Trust, Password };
    // The superuser's name and, under Password, its password.
    static constexpr const char AdminUser[] = "torvelin";
    static constexpr const char AdminPassword[] = "admin-secret";

    explicit PostgresCluster(Authentication authentication = Trust);
    ~PostgresCluster();
    PostgresCluster(const PostgresCluster &) = delete;
    PostgresCluster &operator=(const PostgresCluster &) = delete;

    // initdb (first time only) and start; waits until it accepts connections.
    bool start();
    // pg_ctl stop -m fast: clients lose their connections.
    bool stop();
    // A new, empty database; the superuser's connection settings for it.
    bool createDatabase(const QString &name);
    // A new database made ready for stations as the lab's administrator
    // does it (torvelin-records init, as the superuser).
    bool createRecordsDatabase(const QString &name);
    DatabaseConfig config(const QString &database) const;
    // The same server and database as another login.
    DatabaseConfig config(const QString &database, const QString &user, const QString &password) const;
    // Statements run one by one as the superuser; false at the first refused.
    bool execute(const QString &database, const QStringList &statements);
    // psql -c COMMAND as the given login (the password through PGPASSWORD);
    // *output gets what psql printed. False when psql fails.
    bool psql(const DatabaseConfig &login, const QString &command, QString *output = nullptr);
    // Server settings (-c name=value) for the next start().
    void setServerOption(const QString &name, const QString &value);
    // The folder the server owns; files in it are handed to the server's
    // account at start().
    QString folder() const { return m_folder.path(); }
    int port() const { return m_port; }
    QString errorString() const { return m_error; }

    static QString binDirectory();

private:
    bool run(const QString &program, const QStringList &arguments, int timeoutMs);

    bool handToServerAccount();

    Authentication m_authentication;
    QTemporaryDir m_folder;
    QString m_dataDirectory;
    QStringList m_serverOptions;
    int m_port = 0;
    bool m_initialised = false;
    bool m_running = false;
    QString m_error;
};
