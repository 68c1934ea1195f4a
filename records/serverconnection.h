#pragma once

#include <QSqlDatabase>
#include <QString>

// What libpq knows of an open PostgreSQL connection and Qt SQL does not
// say: whether the server asked for the password, whether the connection
// is encrypted, whether it is still there. The only place that talks to libpq itself.
namespace ServerConnection {

// Whether the server authenticated this login by the password it was
// given; false on a connection it let in without one (trust, peer).
bool usedPassword(const QSqlDatabase &db);

struct Encryption
{
    bool encrypted = false;
    QString protocol;   // "TLSv1.3"
    QString cipher;
};
// Whether the server is gone from this connection (restarted, or the line
// broke). `Idle` reads what has arrived first, without waiting, so that a
// connection nobody uses learns that its server hung up; `Listening` asks
// only what libpq knows, and leaves the reading to Qt's notifications (a
// notification read here would wait in libpq until the next one).
enum class Use { Idle, Listening };
bool isLost(const QSqlDatabase &db, Use use);

// How the connection travels; not encrypted for SQLite or when unknown.
Encryption encryption(const QSqlDatabase &db);

} // namespace ServerConnection
