#pragma once

#include "records/databaseconfig.h"

#include <QObject>
#include <QString>

class QTimer;

// Tells a window that another station recorded, ended, amended or signed a
// test, the moment the lab's PostgreSQL server says so (LISTEN on the
// records' channel, NOTIFY from the trail's triggers). It listens on a
// connection of its own, so that the readers' connection may be reopened
// or busy without losing a notification. When the server restarts or the
// line breaks, it listens again as soon as the server answers, and says
// so: what was notified meanwhile is lost. A bench's SQLite file has no
// other station: start() then does nothing.
class RecordsNotifier : public QObject
{
    Q_OBJECT

public:
    explicit RecordsNotifier(QObject *parent = nullptr);
    ~RecordsNotifier() override;

    // Listens to the configured database (again, when it changed); false
    // with the reason when the server cannot be reached or refuses, and
    // then it keeps trying.
    bool start(const DatabaseConfig &config, QString *error = nullptr);
    void stop();
    bool listening() const { return m_listening; }

signals:
    void testChanged(qint64 testId);
    // Listening again after the connection was lost: read everything anew.
    void listeningAgain();

private:
    bool listen(QString *error);
    // Closes the connection; `unlisten` only while the server is there.
    void drop(bool unlisten);
    void watch();
    void received(const QString &name, const QString &payload);

    QString m_connectionName;
    DatabaseConfig m_config;
    QTimer *m_watch;
    bool m_listening = false;
};
