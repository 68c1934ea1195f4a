#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

#include "device/settings.h"

namespace Ui {
class serialSettingDialog;
}

// Picks the serial port and line parameters for the next connection to the
// tester and hands them on, by Apply, as one Serial_Setting_Type.
class SerialSettingDialog : public QDialog
{
    Q_OBJECT

public:
    // Lists the serial ports present when the dialog opens.
    explicit SerialSettingDialog(QWidget *parent = nullptr);
    // Lists the given ports instead, each as SerialPortList::fields gives
    // them; lets a bench or test offer ports that the machine does not have.
    explicit SerialSettingDialog(const QList<QStringList> &ports, QWidget *parent = nullptr);
    ~SerialSettingDialog() override;

    // Selects the port and line settings in use, so that Apply without a
    // change keeps them. A device the list leaves out (a by-id path, a
    // TORVELIN_PORT) gets an item of its own.
    void showSetting(const Serial_Setting_Type &setting);

signals:
    void sendSerialSetting(Serial_Setting_Type setting);

private slots:
    void on_applyButton_clicked();
    void on_serialPortInfoListBox_currentIndexChanged(int index);

private:
    Ui::serialSettingDialog *ui;
};
