#include "history/amenddialog.h"
#include "ui_amenddialog.h"

#include "widgets/widgetfit.h"

#include <QPushButton>

AmendDialog::AmendDialog(qint64 testId, const TestIdentity &identity, bool checksPassword, const QString &login,
                         QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AmendDialog)
    , m_testId(testId)
    , m_identity(identity)
{
    ui->setupUi(this);
    m_signer.setUp(ui->loginLabel, ui->loginEdit, ui->passwordLabel, ui->passwordEdit, checksPassword, login);
    ui->testLabel->setText(QString::number(testId));
    // The serial number first: the field an operator mistypes most.
    {
        const QSignalBlocker filling(ui->fieldCombo);
        for (const QString &field : {RecordsReview::SerialNumber, RecordsReview::Batch, RecordsReview::PartNumber})
            ui->fieldCombo->addItem(RecordsReview::fieldText(field), field);
    }
    on_fieldCombo_currentIndexChanged(0);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("Amend"));
    ui->noteLabel->setText(
        checksPassword
            ? tr("The value on record is kept in the audit trail with the reason; the server checks the "
                 "password for this amendment, made under your login and the server's time.")
            : tr("The value on record is kept in the audit trail with the reason; on this bench's file the "
                 "computer's login %1 amends, without a password.")
                  .arg(login));
    ui->valueEdit->setFocus();
    WidgetFit::fit(this);
}

AmendDialog::~AmendDialog()
{
    delete ui;
}

QString AmendDialog::currentValue() const
{
    const QString field = ui->fieldCombo->currentData().toString();
    if (field == RecordsReview::PartNumber)
        return m_identity.partNumber;
    if (field == RecordsReview::Batch)
        return m_identity.batch;
    return m_identity.serialNumber;
}

AmendRequest AmendDialog::request() const
{
    AmendRequest request;
    request.testId = m_testId;
    request.field = ui->fieldCombo->currentData().toString();
    request.value = ui->valueEdit->text().trimmed();
    request.reason = ui->reasonEdit->text().trimmed();
    request.signer = m_signer.signer();
    return request;
}

void AmendDialog::on_fieldCombo_currentIndexChanged(int index)
{
    Q_UNUSED(index)
    const QString current = currentValue();
    ui->currentLabel->setText(current.isEmpty() ? tr("(none)") : current);
    ui->valueEdit->setText(current);
    ui->valueEdit->selectAll();
}

void AmendDialog::on_buttonBox_accepted()
{
    const AmendRequest wanted = request();
    QString missing;
    if (wanted.value == currentValue())
        missing = tr("The new value is the one on record.");
    else if (wanted.reason.isEmpty())
        missing = tr("An amendment needs the reason.");
    else if (!m_signer.isComplete())
        missing = tr("Amending needs your login and password.");
    if (!missing.isEmpty()) {
        ui->noteLabel->setText(missing);
        return;
    }
    emit sendAmendRequest(wanted);
    accept();
}
