#pragma once

#include "records/databaseconfig.h"
#include "records/serverconnection.h"

#include <QObject>

class QThread;

// Asks the records server what it says to a login, on a thread of its own:
// a server that does not answer holds up nothing but the answer (libpq's
// connect timeout bounds it). The answer comes back on the asking thread.
// A check asked for while one runs replaces the one waiting.
class LoginCheck : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    // Waits for a check still running (at most the connect timeout).
    ~LoginCheck() override;

    void check(const DatabaseConfig &config);
    bool isChecking() const { return m_thread != nullptr; }

signals:
    void answered(const DatabaseConfig &config, const ServerConnection::Login &login);

private:
    void run(const DatabaseConfig &config);

    QThread *m_thread = nullptr;
    DatabaseConfig m_next;
    bool m_hasNext = false;
};
