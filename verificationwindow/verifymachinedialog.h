#pragma once

#include "verification/verificationrules.h"

#include <QDialog>
#include <QTimer>

class QTableWidget;

namespace Ui {
class VerifyMachineDialog;
}

// What the dialog starts from.
struct VerificationSetup
{
    QString station;
    QString performedBy;
    int machineRange = 0; // the machine's type, N; 0 when not known
    VerificationSettings settings;
    ReferenceInstrument reference; // the one used last time, to start from
};

// Device → Verify Machine: guides the verification of the machine's force
// against a reference instrument. Per point the operator types what the
// reference shows and presses Take; the live force is averaged over a
// second. Save hands the verification back by sendVerification; the dialog
// closes once the caller has it on record (receiveRecorded) and otherwise
// stays open with its points.
class VerifyMachineDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int AverageMs = 1000;

    explicit VerifyMachineDialog(const VerificationSetup &setup, QWidget *parent = nullptr);
    ~VerifyMachineDialog() override;

signals:
    void sendVerification(MachineVerification verification);

public slots:
    void receiveCurrentPointValue(float distance, float force);
    void receiveRecorded();

private slots:
    void on_takeButton_clicked();
    void on_addPointButton_clicked();
    void on_removePointButton_clicked();
    void on_adjustedCheckBox_toggled(bool checked);
    void on_buttonBox_accepted();

private:
    QTableWidget *currentTable() const;
    void setUpTable(QTableWidget *table, const QVector<double> &references);
    void addRow(QTableWidget *table, double reference);
    void finishTake();
    void showRow(QTableWidget *table, int row);
    void showVerdicts();
    bool readPass(QTableWidget *table, VerificationPass *pass, QString *error) const;
    void setTaking(bool taking);

    Ui::VerifyMachineDialog *ui;
    VerificationSetup m_setup;
    QTimer m_takeTimer;
    QTableWidget *m_takingTable = nullptr;
    int m_takingRow = -1;
    double m_forceSum = 0;
    int m_forceCount = 0;
    bool m_recorded = false;
};
