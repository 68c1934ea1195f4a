#pragma once

#include "records/databaseconfig.h"

#include <QDialog>

namespace Ui {
class PasswordDialog;
}

// The password of the records database's login, asked for when the server
// wants one and none is known (none in TORVELIN_DB, remembered, or in the
// PostgreSQL password file), and asked again with the server's reason when
// it refused the one it was given. OK hands the typed password back by
// sendPassword; the caller has the server check it before keeping it.
class PasswordDialog : public QDialog
{
    Q_OBJECT

public:
    // `refusal`: the server's reason for refusing the last password; empty
    // when none was given yet.
    PasswordDialog(const DatabaseConfig &config, const QString &refusal, QWidget *parent = nullptr);
    ~PasswordDialog() override;

signals:
    // `remember`: kept in the keyring once the server took it.
    void sendPassword(QString password, bool remember);

private slots:
    void on_passwordEdit_textChanged(const QString &text);
    void on_buttonBox_accepted();

private:
    Ui::PasswordDialog *ui;
};
