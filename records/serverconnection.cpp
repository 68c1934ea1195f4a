#include "records/serverconnection.h"

#include "records/recordsdatabase.h"

#include <QDir>
#include <QSqlDriver>
#include <QVariant>

#include <vector>

#include <libpq-fe.h>

namespace ServerConnection {

namespace {

PGconn *connectionOf(const QSqlDatabase &db)
{
    if (!RecordsDatabase::isPostgres(db) || !db.isOpen())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "PGconn*") != 0)
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

} // namespace

bool usedPassword(const QSqlDatabase &db)
{
    PGconn *connection = connectionOf(db);
    return connection && PQconnectionUsedPassword(connection) == 1;
}

bool isLost(const QSqlDatabase &db, Use use)
{
    if (!RecordsDatabase::isPostgres(db))
        return false;
    // Qt's driver closes a connection whose server went away as it reads
    // a notification.
    PGconn *connection = connectionOf(db);
    if (!connection)
        return true;
    // Never blocks: libpq's socket does not wait. A server that goes away
    // sends its farewell and then closes; the first read takes the
    // farewell, the second finds the end and marks the connection bad.
    if (use == Use::Idle) {
        for (int read = 0; read < 2 && PQstatus(connection) == CONNECTION_OK; ++read)
            PQconsumeInput(connection);
    }
    return PQstatus(connection) != CONNECTION_OK;
}

Encryption encryption(const QSqlDatabase &db)
{
    Encryption result;
    PGconn *connection = connectionOf(db);
    if (!connection || PQsslInUse(connection) != 1)
        return result;
    result.encrypted = true;
    result.protocol = QString::fromLatin1(PQsslAttribute(connection, "protocol"));
    result.cipher = QString::fromLatin1(PQsslAttribute(connection, "cipher"));
    return result;
}

Login tryLogin(const DatabaseConfig &config)
{
    Login login;
    if (!config.unusable.isEmpty()) {
        login.reason = config.unusable;
        return login;
    }
    if (config.engine != DatabaseConfig::PostgreSQL) {
        login.answer = Login::Accepted;
        return login;
    }
    // The settings Qt's driver hands libpq for the records' connections.
    const QList<QPair<const char *, QString>> settings{
        {"host", config.host},
        {"port", QString::number(config.port)},
        {"dbname", config.database},
        {"user", config.user},
        {"password", config.password},
        {"connect_timeout", QString::number(RecordsDatabase::ConnectTimeoutSeconds)},
        {"sslmode", config.sslMode},
        {"sslrootcert", QDir::toNativeSeparators(config.sslRootCert)},
    };
    QList<QByteArray> values;
    std::vector<const char *> keywords;
    std::vector<const char *> valuePointers;
    for (const auto &setting : settings) {
        // Left out, libpq takes its default: the password from the
        // password file, the environment's sslmode.
        if (setting.second.isEmpty())
            continue;
        values.append(setting.second.toLocal8Bit());
        keywords.push_back(setting.first);
    }
    for (const QByteArray &value : qAsConst(values))
        valuePointers.push_back(value.constData());
    keywords.push_back(nullptr);
    valuePointers.push_back(nullptr);
    PGconn *connection = PQconnectdbParams(keywords.data(), valuePointers.data(), 0);
    if (!connection)
        return login;
    if (PQstatus(connection) == CONNECTION_OK)
        login.answer = Login::Accepted;
    else if (PQconnectionNeedsPassword(connection) == 1)
        login.answer = Login::PasswordNeeded;
    // A database that does not exist is also refused after the password:
    // the reason says which.
    else if (PQconnectionUsedPassword(connection) == 1)
        login.answer = Login::PasswordRefused;
    if (login.answer != Login::Accepted)
        login.reason = QString::fromLocal8Bit(PQerrorMessage(connection)).trimmed();
    PQfinish(connection);
    return login;
}

} // namespace ServerConnection
