#pragma once

#include "records/databaseconfig.h"

#include <QDialog>

namespace Ui {
class DatabaseDialog;
}

// Records → Database: where the test records go, an SQLite file or a
// PostgreSQL server. OK hands the choice back by sendDatabaseConfig; the
// caller stores it. While TORVELIN_DB decides, the dialog only shows it.
class DatabaseDialog : public QDialog
{
    Q_OBJECT

public:
    DatabaseDialog(const DatabaseConfig &config, bool fromEnvironment, QWidget *parent = nullptr);
    ~DatabaseDialog() override;

    DatabaseConfig config() const;

signals:
    void sendDatabaseConfig(DatabaseConfig config);

private slots:
    void on_engineComboBox_currentIndexChanged(int index);
    void on_browseButton_clicked();
    void on_sslRootCertBrowseButton_clicked();
    void on_testButton_clicked();
    void on_buttonBox_accepted();

private:
    void fillSslModes(const QString &chosen);

    Ui::DatabaseDialog *ui;
    bool m_keyring = false;   // whether a password can be remembered here
};
