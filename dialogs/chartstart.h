#pragma once

#include <QWidget>

#include "device/settings.h"

namespace Ui {
class chartStart;
}

// The small window in which the operator sets up the next test: direction,
// relative or absolute travel, distance and speed. A plain widget that its
// creator turns into a window-modal dialog; OK hands the settings back as one
// Curve_Setting.
class chartStart : public QWidget
{
    Q_OBJECT

    // Pre-fills the dialog through receiveCurveSetting, which stays private
    // like the slots the form connects by name.
    friend class MainWindow;

public:
    explicit chartStart(QWidget *parent = nullptr);
    ~chartStart() override;

signals:
    void sendCurveSetting(Curve_Setting setting);

private slots:
    void on_okBtn_clicked();
    void on_cancelBtn_clicked();
    void receiveCurveSetting(Curve_Setting setting);

private:
    void markSpeedTooHigh(bool tooHigh);

    Ui::chartStart *ui;
};
