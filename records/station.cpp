#include "records/station.h"

#include "settings/usersettings.h"

#include <QMutex>
#include <QSysInfo>
#include <QUuid>

namespace {
const char Group[] = "Station";
const char IdKey[] = "id";
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
    if (QUuid::fromString(id).isNull()) {
        id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        settings.setValue(QLatin1String(IdKey), id);
        settings.sync();
    }
    return id;
}
