#pragma once

#include <QDialog>

#include "dialogs/axissetting.h"

namespace Ui {
class curveSettingDialog;
}

// Lets the operator type the plot's axis ranges and reverse either axis.
// Filled from the plot's current state; OK sends the new state as one
// AxisSetting. Bounds given in either order are sorted by the plot.
class curveSettingDialog : public QDialog
{
    Q_OBJECT

public:
    curveSettingDialog(QWidget *parent, const AxisSetting &setting);
    ~curveSettingDialog() override;

signals:
    void sendAxisSet(AxisSetting setting);

private slots:
    void on_okBtn_clicked();
    void on_cancelBtn_clicked();

private:
    Ui::curveSettingDialog *ui;
};
