#include "support/postgrescluster.h"

#include "records/recordsdatabase.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {
const char User[] = "torvelin";
const char ServerAccount[] = "postgres";
constexpr int InitTimeoutMs = 120000;
constexpr int ControlTimeoutMs = 60000;

bool runAsServerAccount()
{
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

int freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}
} // namespace

PostgresCluster::PostgresCluster()
    : m_folder(QDir::tempPath() + QStringLiteral("/torvelin-pg-XXXXXX"))
{
    m_dataDirectory = m_folder.path() + QStringLiteral("/data");
}

PostgresCluster::~PostgresCluster()
{
    if (m_running) {
        run(binDirectory() + QStringLiteral("/pg_ctl"),
            {QStringLiteral("-D"), m_dataDirectory, QStringLiteral("-m"), QStringLiteral("immediate"),
             QStringLiteral("-w"), QStringLiteral("stop")},
            ControlTimeoutMs);
    }
}

QString PostgresCluster::binDirectory()
{
    const QString configured =
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("TORVELIN_PG_BIN"));
    return configured.isEmpty() ? QStringLiteral("/usr/lib/postgresql/15/bin") : configured;
}

bool PostgresCluster::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(m_folder.path());
    if (runAsServerAccount()) {
        // The server refuses to run as root.
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QLatin1String(ServerAccount), QStringLiteral("--"),
                                  program}
                          + arguments);
    } else {
        process.start(program, arguments);
    }
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        m_error = QStringLiteral("%1 %2 failed: %3 %4")
                      .arg(program, arguments.join(QLatin1Char(' ')), process.errorString(),
                           QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

bool PostgresCluster::start()
{
    if (m_running)
        return true;
    if (!m_folder.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    if (!m_initialised) {
        if (runAsServerAccount()) {
            QProcess chown;
            chown.start(QStringLiteral("chown"), {QStringLiteral("-R"),
                                                  QLatin1String(ServerAccount) + QLatin1Char(':'),
                                                  m_folder.path()});
            if (!chown.waitForFinished() || chown.exitCode() != 0) {
                m_error = QStringLiteral("cannot hand %1 to %2").arg(m_folder.path(), ServerAccount);
                return false;
            }
        }
        if (!run(binDirectory() + QStringLiteral("/initdb"),
                 {QStringLiteral("-D"), m_dataDirectory, QStringLiteral("-U"), QLatin1String(User),
                  QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
                  QStringLiteral("UTF8"), QStringLiteral("--no-sync"), QStringLiteral("--no-locale")},
                 InitTimeoutMs))
            return false;
        m_port = freePort();
        m_initialised = true;
    }
    const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                                .arg(m_port)
                                .arg(m_folder.path());
    if (!run(binDirectory() + QStringLiteral("/pg_ctl"),
             {QStringLiteral("-D"), m_dataDirectory, QStringLiteral("-o"), options, QStringLiteral("-l"),
              m_folder.path() + QStringLiteral("/server.log"), QStringLiteral("-w"),
              QStringLiteral("start")},
             ControlTimeoutMs))
        return false;
    m_running = true;
    return true;
}

bool PostgresCluster::stop()
{
    if (!m_running)
        return true;
    m_running = false;
    return run(binDirectory() + QStringLiteral("/pg_ctl"),
               {QStringLiteral("-D"), m_dataDirectory, QStringLiteral("-m"), QStringLiteral("fast"),
                QStringLiteral("-w"), QStringLiteral("stop")},
               ControlTimeoutMs);
}

DatabaseConfig PostgresCluster::config(const QString &database) const
{
    DatabaseConfig config;
    config.engine = DatabaseConfig::PostgreSQL;
    config.host = QStringLiteral("127.0.0.1");
    config.port = m_port;
    config.database = database;
    config.user = QLatin1String(User);
    return config;
}

bool PostgresCluster::createDatabase(const QString &name)
{
    const QString connection = QStringLiteral("torvelin-pg-admin");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        const DatabaseConfig admin = config(QStringLiteral("postgres"));
        db.setHostName(admin.host);
        db.setPort(admin.port);
        db.setDatabaseName(admin.database);
        db.setUserName(admin.user);
        if (!db.open()) {
            m_error = db.lastError().text();
        } else {
            QSqlQuery query(db);
            ok = query.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
            if (!ok)
                m_error = query.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}
