#include "keyring/systemkeyring.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMutexLocker>

#include <qt5keychain/keychain.h>

namespace {

const char Service[] = "Torvelin";
// A key nobody writes: reading it tells a working keyring (not found) from
// none at all.
const char ProbeKey[] = "torvelin-keyring-probe";

// Runs a job to its end on this thread. QtKeychain never falls back to a
// plain-text file unless asked to; it is told not to, in case a later
// version changes its mind.
void runToEnd(QKeychain::Job &job)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
}

QString failure(const QKeychain::Job &job)
{
    return job.errorString().isEmpty() ? QCoreApplication::translate("Keyring", "The keyring did not answer.")
                                       : job.errorString();
}

} // namespace

bool SystemKeyring::available(QString *why)
{
    QMutexLocker locker(&m_mutex);
    if (!m_probed) {
        QKeychain::ReadPasswordJob probe{QString::fromLatin1(Service)};
        probe.setKey(QLatin1String(ProbeKey));
        runToEnd(probe);
        m_probed = true;
        m_available = probe.error() == QKeychain::NoError || probe.error() == QKeychain::EntryNotFound;
        if (!m_available) {
            // QtKeychain's own words are often only "Unknown error".
            const QString detail = probe.error() == QKeychain::NoBackendAvailable
                                       ? QString()
                                       : probe.errorString().trimmed();
            if (detail != QLatin1String("Unknown error"))
                m_detail = detail;
        }
    }
    // Translated when asked: the language may have changed since the probe.
    if (!m_available && why) {
        *why = QCoreApplication::translate("Keyring",
                                           "This computer has no keyring to keep passwords in: no keyring "
                                           "service (on Linux a Secret Service such as GNOME Keyring or "
                                           "KeePassXC) answers.");
        if (!m_detail.isEmpty())
            *why += QLatin1Char(' ') + m_detail;
    }
    return m_available;
}

bool SystemKeyring::read(const QString &key, QString *password, bool *found, QString *error)
{
    QKeychain::ReadPasswordJob job{QString::fromLatin1(Service)};
    job.setKey(key);
    runToEnd(job);
    *found = job.error() != QKeychain::EntryNotFound;
    if (job.error() == QKeychain::NoError) {
        *password = job.textData();
        return true;
    }
    if (error)
        *error = failure(job);
    return false;
}

bool SystemKeyring::write(const QString &key, const QString &password, QString *error)
{
    QKeychain::WritePasswordJob job{QString::fromLatin1(Service)};
    job.setKey(key);
    job.setTextData(password);
    runToEnd(job);
    if (job.error() == QKeychain::NoError)
        return true;
    if (error)
        *error = failure(job);
    return false;
}

bool SystemKeyring::remove(const QString &key, QString *error)
{
    QKeychain::DeletePasswordJob job{QString::fromLatin1(Service)};
    job.setKey(key);
    runToEnd(job);
    if (job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound)
        return true;
    if (error)
        *error = failure(job);
    return false;
}
