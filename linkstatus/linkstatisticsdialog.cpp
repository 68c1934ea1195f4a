#include "linkstatus/linkstatisticsdialog.h"
#include "ui_linkstatisticsdialog.h"

#include "widgets/widgetfit.h"
#include "linkstatus/linktexts.h"


LinkStatisticsDialog::LinkStatisticsDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::LinkStatisticsDialog)
{
    ui->setupUi(this);
    connect(ui->closeButton, &QPushButton::clicked, this, &QDialog::accept);
    receiveLinkReport(LinkReport());
    showDisconnected();
    reserveRoom();
    WidgetFit::fit(this);
}

// The state changes while the dialog is open: room for its longest text
// (a failed port, with a time of day) and for counters of a long shift.
void LinkStatisticsDialog::reserveRoom()
{
    LinkReport failedPort;
    failedPort.portClosed = true;
    failedPort.silentSince = QDateTime(QDate(2000, 1, 1), QTime(23, 59, 59));
    WidgetFit::reserve(ui->stateValue, LinkTexts::state(failedPort));
    const QString counter = WidgetFit::digits(10, 0, false);
    for (QLabel *value : {ui->answersValue, ui->rejectedValue, ui->timeoutsValue,
                          ui->crcErrorsValue, ui->framingErrorsValue, ui->portFailuresValue,
                          ui->reopensValue})
        WidgetFit::reserve(value, counter);
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

void LinkStatisticsDialog::showRecordsLink(const QString &text)
{
    ui->recordsValue->setText(text);
    // A server's address with its cipher wraps: the dialog grows to it.
    WidgetFit::fit(this);
}
