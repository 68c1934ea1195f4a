#include "recording/passworddialog.h"
#include "ui_passworddialog.h"

#include "recording/rememberoption.h"
#include "widgets/widgetfit.h"

#include <QPushButton>

PasswordDialog::PasswordDialog(const DatabaseConfig &config, const QString &refusal, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::PasswordDialog)
{
    ui->setupUi(this);
    ui->placeLabel->setText(tr("The records database %1 asks for the password of %2. Tests are recorded "
                               "there once the server takes it.")
                                .arg(config.description(), config.user));
    ui->refusalLabel->setVisible(!refusal.isEmpty());
    ui->refusalLabel->setText(tr("The server refused the password: %1").arg(refusal.trimmed()));
    RememberOption::setUp(ui->rememberPasswordCheckBox, ui->keyringLabel, config.rememberPassword);
    on_passwordEdit_textChanged(QString());
    ui->passwordEdit->setFocus();
    WidgetFit::fit(this);
}

PasswordDialog::~PasswordDialog()
{
    delete ui;
}

void PasswordDialog::on_passwordEdit_textChanged(const QString &text)
{
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(!text.isEmpty());
}

void PasswordDialog::on_buttonBox_accepted()
{
    emit sendPassword(ui->passwordEdit->text(),
                      ui->rememberPasswordCheckBox->isEnabled() && ui->rememberPasswordCheckBox->isChecked());
    accept();
}
