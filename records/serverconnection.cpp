#include "records/serverconnection.h"

#include "records/recordsdatabase.h"

#include <QSqlDriver>
#include <QVariant>

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

} // namespace ServerConnection
