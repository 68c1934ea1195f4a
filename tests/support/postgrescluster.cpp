#include "support/postgrescluster.h"

#include "records/administration.h"
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
const char ServerAccount[] = "postgres";
const char PasswordFileName[] = "admin-password";
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

PostgresCluster::PostgresCluster(Authentication authentication)
    : m_authentication(authentication)
    , m_folder(QDir::tempPath() + QStringLiteral("/torvelin-pg-XXXXXX"))
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
        QStringList arguments{QStringLiteral("-D"), m_dataDirectory, QStringLiteral("-U"),
                              QLatin1String(AdminUser), QStringLiteral("-E"), QStringLiteral("UTF8"),
                              QStringLiteral("--no-sync"), QStringLiteral("--no-locale")};
        if (m_authentication == Password) {
            const QString passwordFile = m_folder.filePath(QLatin1String(PasswordFileName));
            QFile file(passwordFile);
            if (!file.open(QIODevice::WriteOnly) || file.write(AdminPassword) < 0) {
                m_error = QStringLiteral("cannot write %1").arg(passwordFile);
                return false;
            }
            file.close();
            arguments << QStringLiteral("-A") << QStringLiteral("scram-sha-256")
                      << QStringLiteral("--pwfile=") + passwordFile;
        } else {
            arguments << QStringLiteral("-A") << QStringLiteral("trust");
        }
        if (!handToServerAccount() || !run(binDirectory() + QStringLiteral("/initdb"), arguments, InitTimeoutMs))
            return false;
        QFile::remove(m_folder.filePath(QLatin1String(PasswordFileName)));
        m_port = freePort();
        m_initialised = true;
    }
    // Files a test put into the folder since (certificates, keys).
    if (!handToServerAccount())
        return false;
    QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                          .arg(m_port)
                          .arg(m_folder.path());
    for (const QString &option : qAsConst(m_serverOptions))
        options += QStringLiteral(" -c ") + option;
    if (!run(binDirectory() + QStringLiteral("/pg_ctl"),
             {QStringLiteral("-D"), m_dataDirectory, QStringLiteral("-o"), options, QStringLiteral("-l"),
              m_folder.path() + QStringLiteral("/server.log"), QStringLiteral("-w"),
              QStringLiteral("start")},
             ControlTimeoutMs))
        return false;
    m_running = true;
    return true;
}

bool PostgresCluster::handToServerAccount()
{
    if (!runAsServerAccount())
        return true;
    QProcess chown;
    chown.start(QStringLiteral("chown"), {QStringLiteral("-R"), QLatin1String(ServerAccount) + QLatin1Char(':'),
                                          m_folder.path()});
    if (!chown.waitForFinished() || chown.exitCode() != 0) {
        m_error = QStringLiteral("cannot hand %1 to %2").arg(m_folder.path(), ServerAccount);
        return false;
    }
    return true;
}

void PostgresCluster::setServerOption(const QString &name, const QString &value)
{
    // pg_ctl hands -o through a shell: values are file names and words
    // without spaces.
    m_serverOptions.append(QStringLiteral("%1=%2").arg(name, value));
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
    return config(database, QLatin1String(AdminUser),
                  m_authentication == Password ? QLatin1String(AdminPassword) : QString());
}

DatabaseConfig PostgresCluster::config(const QString &database, const QString &user,
                                       const QString &password) const
{
    DatabaseConfig config;
    config.engine = DatabaseConfig::PostgreSQL;
    config.host = QStringLiteral("127.0.0.1");
    config.port = m_port;
    config.database = database;
    config.user = user;
    config.password = password;
    return config;
}

bool PostgresCluster::execute(const QString &database, const QStringList &statements)
{
    const QString connection = QStringLiteral("torvelin-pg-admin");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        const DatabaseConfig admin = config(database);
        db.setHostName(admin.host);
        db.setPort(admin.port);
        db.setDatabaseName(admin.database);
        db.setUserName(admin.user);
        db.setPassword(admin.password);
        if (!db.open()) {
            m_error = db.lastError().text();
        } else {
            ok = true;
            QSqlQuery query(db);
            for (const QString &statement : statements) {
                if (!query.exec(statement)) {
                    m_error = statement + QStringLiteral(": ") + query.lastError().text();
                    ok = false;
                    break;
                }
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

bool PostgresCluster::createDatabase(const QString &name)
{
    return execute(QStringLiteral("postgres"), {QStringLiteral("CREATE DATABASE \"%1\"").arg(name)});
}

bool PostgresCluster::createRecordsDatabase(const QString &name)
{
    RecordsAdministration::Report report;
    return createDatabase(name) && RecordsAdministration::initialise(config(name), &report, &m_error);
}

bool PostgresCluster::psql(const DatabaseConfig &login, const QString &command, QString *output)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), login.password);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(binDirectory() + QStringLiteral("/psql"),
                  {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                   QStringLiteral("-h"), login.host, QStringLiteral("-p"), QString::number(login.port),
                   QStringLiteral("-U"), login.user, QStringLiteral("-d"), login.database,
                   QStringLiteral("-c"), command});
    const bool finished = process.waitForFinished(ControlTimeoutMs);
    const QString printed = QString::fromLocal8Bit(process.readAll());
    if (output)
        *output = printed;
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = QStringLiteral("psql -c %1 failed: %2").arg(command, printed);
        return false;
    }
    return true;
}
