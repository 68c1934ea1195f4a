#include "recording/databasedialog.h"
#include "ui_databasedialog.h"

#include "recording/rememberoption.h"

#include "records/recordsdatabase.h"
#include "records/serverconnection.h"
#include "widgets/widgetfit.h"

#include <QFileDialog>
#include <QPushButton>

namespace {
const char TestConnectionName[] = "torvelin-records-dialog-test";
// libpq's own default.
const char DefaultSslMode[] = "prefer";
} // namespace

DatabaseDialog::DatabaseDialog(const DatabaseConfig &config, bool fromEnvironment, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::DatabaseDialog)
{
    ui->setupUi(this);
    ui->engineComboBox->setCurrentIndex(config.engine == DatabaseConfig::PostgreSQL ? 1 : 0);
    ui->fileEdit->setText(QDir::toNativeSeparators(config.sqlitePath));
    ui->hostEdit->setText(config.host);
    ui->portSpinBox->setValue(config.port);
    ui->databaseEdit->setText(config.database);
    ui->userEdit->setText(config.user);
    ui->passwordEdit->setText(config.password);
    m_keyring = RememberOption::setUp(ui->rememberPasswordCheckBox, ui->keyringLabel, config.rememberPassword);
    on_engineComboBox_currentIndexChanged(ui->engineComboBox->currentIndex());
    fillSslModes(config.sslMode);
    ui->sslRootCertEdit->setText(QDir::toNativeSeparators(config.sslRootCert));
    ui->environmentLabel->setVisible(fromEnvironment);
    if (fromEnvironment) {
        ui->environmentLabel->setText(
            tr("The environment variable TORVELIN_DB chooses the database (%1); it wins over "
               "this dialog.")
                .arg(config.description()));
        const auto fields = findChildren<QWidget *>();
        for (QWidget *field : fields) {
            if (field != ui->buttonBox && !ui->buttonBox->isAncestorOf(field)
                && field != ui->testButton && field != ui->testResultLabel
                && field != ui->environmentLabel)
                field->setEnabled(false);
        }
        ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
    }
    // A server's name or a certificate's path stays readable whole.
    WidgetFit::fit(this);
}

// Each mode with what it means for the records on their way: libpq's
// names stay, because the lab's administrator uses them too.
void DatabaseDialog::fillSslModes(const QString &chosen)
{
    const QStringList meanings{
        tr("never encrypted"),
        tr("encrypted only if the server insists"),
        tr("encrypted if the server offers it"),
        tr("always encrypted, the server not verified"),
        tr("encrypted, the server's certificate checked"),
        tr("encrypted, the server's certificate and host name checked"),
    };
    const QStringList modes = DatabaseConfig::sslModes();
    for (int i = 0; i < modes.size(); ++i)
        ui->sslModeComboBox->addItem(QStringLiteral("%1: %2").arg(modes.at(i), meanings.value(i)), modes.at(i));
    const int index = ui->sslModeComboBox->findData(chosen.isEmpty() ? QLatin1String(DefaultSslMode) : chosen);
    ui->sslModeComboBox->setCurrentIndex(qMax(0, index));
}

DatabaseDialog::~DatabaseDialog()
{
    delete ui;
}

DatabaseConfig DatabaseDialog::config() const
{
    DatabaseConfig config;
    config.engine = ui->engineComboBox->currentIndex() == 1 ? DatabaseConfig::PostgreSQL
                                                            : DatabaseConfig::SQLite;
    config.sqlitePath = QDir::cleanPath(QDir::fromNativeSeparators(ui->fileEdit->text().trimmed()));
    if (ui->fileEdit->text().trimmed().isEmpty())
        config.sqlitePath = DatabaseConfig::defaultSqlitePath();
    config.host = ui->hostEdit->text().trimmed();
    config.port = ui->portSpinBox->value();
    config.database = ui->databaseEdit->text().trimmed();
    config.user = ui->userEdit->text().trimmed();
    config.password = ui->passwordEdit->text();
    config.rememberPassword = m_keyring && ui->rememberPasswordCheckBox->isChecked();
    config.sslMode = ui->sslModeComboBox->currentData().toString();
    const QString rootCert = ui->sslRootCertEdit->text().trimmed();
    config.sslRootCert = rootCert.isEmpty() ? QString() : QDir::cleanPath(QDir::fromNativeSeparators(rootCert));
    return config;
}

void DatabaseDialog::on_engineComboBox_currentIndexChanged(int index)
{
    const bool server = index == 1;
    for (QWidget *field : {static_cast<QWidget *>(ui->fileEdit), static_cast<QWidget *>(ui->browseButton)})
        field->setEnabled(!server);
    ui->rememberPasswordCheckBox->setEnabled(server && m_keyring);
    for (QWidget *field : {static_cast<QWidget *>(ui->hostEdit), static_cast<QWidget *>(ui->portSpinBox),
                           static_cast<QWidget *>(ui->databaseEdit), static_cast<QWidget *>(ui->userEdit),
                           static_cast<QWidget *>(ui->passwordEdit),
                           static_cast<QWidget *>(ui->sslModeComboBox), static_cast<QWidget *>(ui->sslRootCertEdit),
                           static_cast<QWidget *>(ui->sslRootCertBrowseButton)})
        field->setEnabled(server);
    ui->testResultLabel->clear();
}

void DatabaseDialog::on_browseButton_clicked()
{
    const QString file = QFileDialog::getSaveFileName(
        this, tr("Records database"), ui->fileEdit->text(), tr("SQLite databases (*.sqlite *.db)"),
        nullptr, QFileDialog::DontConfirmOverwrite);
    if (!file.isEmpty())
        ui->fileEdit->setText(QDir::toNativeSeparators(file));
}

void DatabaseDialog::on_sslRootCertBrowseButton_clicked()
{
    const QString file = QFileDialog::getOpenFileName(this, tr("Root certificate"), ui->sslRootCertEdit->text(),
                                                      tr("Certificates (*.crt *.pem);;All files (*)"));
    if (!file.isEmpty())
        ui->sslRootCertEdit->setText(QDir::toNativeSeparators(file));
}

void DatabaseDialog::on_testButton_clicked()
{
    QString error;
    const DatabaseConfig tried = config();
    if (!RecordsDatabase::open(tried, QLatin1String(TestConnectionName), &error)) {
        ui->testResultLabel->setText(tr("No connection: %1").arg(error));
    } else if (tried.engine == DatabaseConfig::SQLite) {
        ui->testResultLabel->setText(tr("Connected to %1.").arg(tried.description()));
    } else {
        const ServerConnection::Encryption encryption =
            ServerConnection::encryption(QSqlDatabase::database(QLatin1String(TestConnectionName), false));
        ui->testResultLabel->setText(
            encryption.encrypted
                ? tr("Connected to %1, encrypted (%2, %3).").arg(tried.description(), encryption.protocol,
                                                                 encryption.cipher)
                : tr("Connected to %1, not encrypted.").arg(tried.description()));
    }
    RecordsDatabase::close(QLatin1String(TestConnectionName));
}

void DatabaseDialog::on_buttonBox_accepted()
{
    const DatabaseConfig chosen = config();
    if (chosen.engine == DatabaseConfig::PostgreSQL
        && (chosen.host.isEmpty() || chosen.database.isEmpty())) {
        ui->testResultLabel->setText(tr("A PostgreSQL server needs a host and a database name."));
        return;
    }
    emit sendDatabaseConfig(config());
    accept();
}
