#pragma once

#include <QSqlDatabase>
#include <QString>

// What libpq knows of an open PostgreSQL connection and Qt SQL does not
// say: whether the server asked for the password, and whether the
// connection is encrypted. The only place that talks to libpq itself.
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
// How the connection travels; not encrypted for SQLite or when unknown.
Encryption encryption(const QSqlDatabase &db);

} // namespace ServerConnection
