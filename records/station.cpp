#include "records/station.h"

#include "settings/usersettings.h"

#include <QDir>
#include <QLockFile>
#include <QMutex>
#include <QSysInfo>
#include <QUuid>

namespace {
const char Group[] = "Station";
const char IdKey[] = "id";
const char MachineKey[] = "machine";
// Two threads asking at the very first use must not make two ids.
QMutex creating;
} // namespace

QString Station::hostName()
{
    return QSysInfo::machineHostName();
}

QString Station::id()
{
    QMutexLocker locker(&creating);
    QSettings settings = TorvelinSettings::open();
    settings.beginGroup(QLatin1String(Group));
    QString id = settings.value(QLatin1String(IdKey)).toString();
    const QString machine = QString::fromLatin1(QSysInfo::machineUniqueId().toHex());
    const QString madeOn = settings.value(QLatin1String(MachineKey)).toString();
    if (QUuid::fromString(id).isNull() || (!madeOn.isEmpty() && madeOn != machine)) {
        id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        settings.setValue(QLatin1String(IdKey), id);
        settings.setValue(QLatin1String(MachineKey), machine);
        settings.sync();
    }
    return id;
}

QString Station::lockPath()
{
    return QDir::temp().filePath(QStringLiteral("torvelin-station-%1.lock").arg(id()));
}

bool Station::runsAlone()
{
    QMutexLocker locker(&creating);
    // Held until the process ends; a lock left by a copy that crashed is
    // stale (its process is gone) and taken over.
    static QLockFile *lock = nullptr;
    if (lock == nullptr) {
        locker.unlock();
        const QString path = lockPath();
        locker.relock();
        if (lock == nullptr) {
            lock = new QLockFile(path);
            // Stale only when its process is gone, however long a copy runs.
            lock->setStaleLockTime(0);
        }
    }
    return lock->isLocked() || lock->tryLock(0);
}
