#include "records/recordsnotifier.h"

#include "numbers/numbertext.h"

#include "records/audittrail.h"
#include "records/recordsdatabase.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>

RecordsNotifier::RecordsNotifier(QObject *parent)
    : QObject(parent)
    , m_connectionName(QStringLiteral("torvelin-records-listener-%1").arg(reinterpret_cast<quintptr>(this), 0, 16))
{
}

RecordsNotifier::~RecordsNotifier()
{
    stop();
}

bool RecordsNotifier::start(const DatabaseConfig &config, QString *error)
{
    if (m_listening && m_config.sameDatabase(config))
        return true;
    stop();
    m_config = config;
    if (config.engine != DatabaseConfig::PostgreSQL)
        return true;
    if (!RecordsDatabase::connect(config, m_connectionName, error))
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

void RecordsNotifier::stop()
{
    if (!m_listening)
        return;
    m_listening = false;
    {
        QSqlDriver *driver = QSqlDatabase::database(m_connectionName, false).driver();
        driver->disconnect(this);
        driver->unsubscribeFromNotification(AuditTrail::Channel);
    }
    RecordsDatabase::close(m_connectionName);
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
