#pragma once

#include "records/databaseconfig.h"

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

// What the server said to a login, on a connection of its own closed at
// once. libpq alone can tell a server that wants a password nobody gave
// it from one that refused the password it got; it reads the PostgreSQL
// password file as it does for every connection.
struct Login
{
    enum Answer {
        Accepted,          // in, with or without a password
        PasswordNeeded,    // it asks for a password and none is known
        PasswordRefused,   // it asked for the password and turned the one given away
        Failed,            // no server, TLS refused, …: the recorder reports these itself
    };
    Answer answer = Failed;
    QString reason;   // libpq's and the server's words when not Accepted
};
// A bench's file is always Accepted.
Login tryLogin(const DatabaseConfig &config);

} // namespace ServerConnection
