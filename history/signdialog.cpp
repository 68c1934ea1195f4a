#include "history/signdialog.h"
#include "ui_signdialog.h"

#include "widgets/widgetfit.h"

#include <QPushButton>

SignDialog::SignDialog(int selected, int inFilter, bool checksPassword, const QString &login, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::SignDialog)
{
    ui->setupUi(this);
    m_signer.setUp(ui->loginLabel, ui->loginEdit, ui->passwordLabel, ui->passwordEdit, checksPassword, login);
    ui->selectedRadio->setText(tr("The %n selected test(s)", nullptr, selected));
    ui->filterRadio->setText(tr("Every test of the filter (%n)", nullptr, inFilter));
    ui->selectedRadio->setEnabled(selected > 0);
    ui->selectedRadio->setChecked(selected > 0);
    ui->filterRadio->setChecked(selected == 0);
    ui->filterRadio->setEnabled(inFilter > 0);
    // Shown as a person reads them; stored as the records keep them.
    for (const QString &meaning : RecordsReview::meanings())
        ui->meaningCombo->addItem(RecordsReview::meaningText(meaning), meaning);
    ui->noteLabel->setText(
        checksPassword
            ? tr("The server checks the password for this signing; the signature carries your login and the "
                 "server's time.")
            : tr("On this bench's file the computer's login %1 signs, without a password: the file is as safe "
                 "as its permissions.")
                  .arg(login));
    m_signer.focus();
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("Sign"));
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(selected > 0 || inFilter > 0);
    WidgetFit::fit(this);
}

SignDialog::~SignDialog()
{
    delete ui;
}

SignRequest SignDialog::request() const
{
    SignRequest request;
    request.wholeFilter = ui->filterRadio->isChecked();
    request.meaning = ui->meaningCombo->currentData().toString();
    request.comment = ui->commentEdit->text().trimmed();
    request.signer = m_signer.signer();
    return request;
}

void SignDialog::on_buttonBox_accepted()
{
    if (!m_signer.isComplete()) {
        ui->noteLabel->setText(tr("Signing needs your login and password."));
        return;
    }
    emit sendSignRequest(request());
    accept();
}
