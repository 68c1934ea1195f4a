#include "settings/usersettings.h"

QSettings TorvelinSettings::open()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(Organization),
                     QLatin1String(Application));
}
