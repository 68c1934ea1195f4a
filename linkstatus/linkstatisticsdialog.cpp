#include "linkstatus/linkstatisticsdialog.h"
#include "ui_linkstatisticsdialog.h"

#include "linkstatus/linktexts.h"


LinkStatisticsDialog::LinkStatisticsDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::LinkStatisticsDialog)
{
    ui->setupUi(this);
    connect(ui->closeButton, &QPushButton::clicked, this, &QDialog::accept);
    receiveLinkReport(LinkReport());
    showDisconnected();
}

LinkStatisticsDialog::~LinkStatisticsDialog()
{
    delete ui;
}

void LinkStatisticsDialog::receiveLinkReport(LinkReport report)
{
    const LinkCounters &counters = report.counters;
    ui->stateValue->setText(LinkTexts::state(report));
    ui->interruptionValue->setText(LinkTexts::lastInterruption(report));
    ui->answersValue->setText(QString::number(counters.answers));
    ui->rejectedValue->setText(QString::number(counters.rejected));
    ui->timeoutsValue->setText(QString::number(counters.timeouts));
    ui->crcErrorsValue->setText(QString::number(counters.crcErrors));
    ui->framingErrorsValue->setText(QString::number(counters.framingErrors));
    ui->portFailuresValue->setText(QString::number(counters.deviceFailures));
    ui->reopensValue->setText(QString::number(counters.reopens));
}

// The counters of the last connection stay readable.
void LinkStatisticsDialog::showDisconnected()
{
    ui->stateValue->setText(LinkTexts::disconnected());
}
