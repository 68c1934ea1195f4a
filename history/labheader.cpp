#include "history/labheader.h"

#include "settings/usersettings.h"

#include <QSettings>

namespace {
const char Group[] = "Reports";
const char CompanyKey[] = "companyName";
const char AddressKey[] = "addressLine";
const char LogoKey[] = "logoFile";
} // namespace

LabHeader LabHeader::stored()
{
    QSettings settings = TorvelinSettings::open();
    settings.beginGroup(QLatin1String(Group));
    LabHeader header;
    header.companyName = settings.value(QLatin1String(CompanyKey)).toString();
    header.addressLine = settings.value(QLatin1String(AddressKey)).toString();
    header.logoFile = settings.value(QLatin1String(LogoKey)).toString();
    return header;
}

void LabHeader::store() const
{
    QSettings settings = TorvelinSettings::open();
    settings.beginGroup(QLatin1String(Group));
    settings.setValue(QLatin1String(CompanyKey), companyName.trimmed());
    settings.setValue(QLatin1String(AddressKey), addressLine.trimmed());
    settings.setValue(QLatin1String(LogoKey), logoFile.trimmed());
}
