#include "records/recordsnotifier.h"

#include "numbers/numbertext.h"

#include "records/audittrail.h"
#include "records/recordsdatabase.h"
#include "records/serverconnection.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QTimer>

namespace {

// How often the listener looks whether its server is still there (a look
// costs nothing: libpq already knows), and the longest it waits between
// attempts to reach a server that is gone, each attempt waiting twice as
// long as the one before: a restart is followed within seconds, a server
// down for the night is not knocked at every second.
constexpr int WatchMs = 1000;
constexpr int LongestRetryMs = 16000;

} // namespace

RecordsNotifier::RecordsNotifier(QObject *parent)
    : QObject(parent)
    , m_connectionName(QStringLiteral("torvelin-records-listener-%1").arg(reinterpret_cast<quintptr>(this), 0, 16))
    , m_watch(new QTimer(this))
{
    connect(m_watch, &QTimer::timeout, this, &RecordsNotifier::watch);
}

RecordsNotifier::~RecordsNotifier()
{
    stop();
}

bool RecordsNotifier::start(const DatabaseConfig &config, QString *error)
{
    if (m_watch->isActive() && m_config.sameDatabase(config))
        return true;
    stop();
    m_config = config;
    if (config.engine != DatabaseConfig::PostgreSQL)
        return true;
    m_watch->start(WatchMs);
    return listen(error);
}

void RecordsNotifier::stop()
{
    m_watch->stop();
    drop(true);
}

bool RecordsNotifier::listen(QString *error)
{
    if (!RecordsDatabase::connect(m_config, m_connectionName, error))
        return false;
    QSqlDriver *driver = QSqlDatabase::database(m_connectionName, false).driver();
    if (!driver->subscribeToNotification(AuditTrail::Channel)) {
        if (error)
            *error = driver->lastError().text();
        RecordsDatabase::close(m_connectionName);
        return false;
    }
    connect(driver, QOverload<const QString &, QSqlDriver::NotificationSource, const QVariant &>::of(
                        &QSqlDriver::notification),
            this, [this](const QString &name, QSqlDriver::NotificationSource, const QVariant &payload) {
                received(name, payload.toString());
            });
    m_listening = true;
    return true;
}

void RecordsNotifier::drop(bool unlisten)
{
    if (!m_listening)
        return;
    m_listening = false;
    {
        QSqlDriver *driver = QSqlDatabase::database(m_connectionName, false).driver();
        driver->disconnect(this);
        if (unlisten)
            driver->unsubscribeFromNotification(AuditTrail::Channel);
    }
    RecordsDatabase::close(m_connectionName);
}

void RecordsNotifier::watch()
{
    if (m_listening) {
        if (!ServerConnection::isLost(QSqlDatabase::database(m_connectionName, false),
                                      ServerConnection::Use::Listening))
            return;
        drop(false);
    }
    if (listen(nullptr)) {
        m_watch->setInterval(WatchMs);
        emit listeningAgain();
    } else {
        m_watch->setInterval(qMin(2 * m_watch->interval(), LongestRetryMs));
    }
}

void RecordsNotifier::received(const QString &name, const QString &payload)
{
    if (name != AuditTrail::Channel)
        return;
    bool isNumber = false;
    const qint64 testId = NumberText::toLongLong(payload, &isNumber);
    if (isNumber)
        emit testChanged(testId);
}
