#include "mainwindow/testsettingslabel.h"

#include "numbers/numbertext.h"

namespace {
constexpr int PushMode = 0;
constexpr int RelativeDistance = 0;
}

TestSettingsLabel::TestSettingsLabel(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("testSettingsLabel"));
    setToolTip(tr("Settings of the next test (Chart)"));
}

void TestSettingsLabel::showSetting(const Curve_Setting &setting)
{
    setText(text(setting));
}

QString TestSettingsLabel::text(const Curve_Setting &setting)
{
    const QString mode = setting.mode == PushMode ? tr("PUSH") : tr("PULL");
    const QString distanceMode =
        setting.distanceMode == RelativeDistance ? tr("relative") : tr("absolute");
    return tr("%1 · %2 · %3 mm · %4 mm/min")
        .arg(mode, distanceMode, NumberText::distance(setting.distance),
             QString::number(setting.speed));
}
