#pragma once

#include "history/labheader.h"

#include <QDialog>

namespace Ui {
class ReportHeaderDialog;
}

// Records → Report Header: the lab's name, address line and logo for the
// reports. OK hands the header back by sendLabHeader; the caller stores it.
class ReportHeaderDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ReportHeaderDialog(const LabHeader &header, QWidget *parent = nullptr);
    ~ReportHeaderDialog() override;

    LabHeader header() const;

signals:
    void sendLabHeader(LabHeader header);

private slots:
    void on_browseButton_clicked();
    void on_logoEdit_textChanged(const QString &text);
    void on_buttonBox_accepted();

private:
    Ui::ReportHeaderDialog *ui;
};
