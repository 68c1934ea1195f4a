#include "recording/rememberoption.h"

#include "records/databaseconfig.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>

namespace RememberOption {

bool setUp(QCheckBox *remember, QLabel *why, bool checked)
{
    QString noKeyring;
    const bool keyring = DatabaseConfig::canRememberPassword(&noKeyring);
    why->setVisible(!keyring);
    remember->setEnabled(keyring);
    remember->setChecked(keyring && checked);
    if (keyring) {
        remember->setToolTip(
            QCoreApplication::translate("RememberOption", "Kept in this computer's keyring, never in a file."));
    } else {
        why->setText(QCoreApplication::translate("RememberOption", "Off: %1 The password is kept for this run only.")
                         .arg(noKeyring));
    }
    return keyring;
}

} // namespace RememberOption
