#pragma once

#include "device/linkhealth.h"

#include <QDialog>

namespace Ui {
class LinkStatisticsDialog;
}

// Device > Link statistics: the link's state and counters, kept current by
// the reports the window hands it while it is open.
class LinkStatisticsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LinkStatisticsDialog(QWidget *parent = nullptr);
    ~LinkStatisticsDialog() override;

public slots:
    void receiveLinkReport(LinkReport report);
    void showDisconnected();
    // How the records travel to their database (encrypted or not).
    void showRecordsLink(const QString &text);

private:
    void reserveRoom();
    Ui::LinkStatisticsDialog *ui;
};
