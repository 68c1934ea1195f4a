#pragma once

#include "device/settings.h"

#include <QLabel>

// The settings the next Start sends, always in sight in the status bar:
// "PUSH · relative · 10.00 mm · 100 mm/min".
class TestSettingsLabel : public QLabel
{
    Q_OBJECT

public:
    explicit TestSettingsLabel(QWidget *parent = nullptr);

    void showSetting(const Curve_Setting &setting);
    static QString text(const Curve_Setting &setting);
};
