#include "dialogs/chartstart.h"

#include <QIntValidator>
#include <QLocale>
#include <QRegExp>
#include <QRegExpValidator>

#include "device/numbertext.h"
#include "ui_chartstart.h"

namespace {

constexpr int MinSpeed = 1;   // mm/min
constexpr int MaxSpeed = 500; // mm/min
// 0 to 199.99 with at most two decimals, or exactly 200 mm.
const char DistancePattern[] = "^(200|1?[0-9]?\\d(\\.\\d{1,2})?)$";

constexpr int PushMode = 0;
constexpr int PullMode = 1;
constexpr int RelativeDistance = 0;
constexpr int AbsoluteDistance = 1;

} // namespace

chartStart::chartStart(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::chartStart)
{
    ui->setupUi(this);

    // The validators only keep impossible text out while typing; OK takes
    // the fields as they are, intermediate states included.
    // Plain digits only, whatever the system locale: a group separator
    // ("1,00", or "1.00" in German) would pass as intermediate text and then
    // read as speed 0 on OK.
    auto *speedValidator = new QIntValidator(MinSpeed, MaxSpeed, this);
    QLocale digitsOnly = QLocale::c();
    digitsOnly.setNumberOptions(QLocale::RejectGroupSeparator);
    speedValidator->setLocale(digitsOnly);
    ui->speedEdit->setValidator(speedValidator);
    ui->distanceEdit->setValidator(
        new QRegExpValidator(QRegExp(QString::fromLatin1(DistancePattern)), this));
}

chartStart::~chartStart()
{
    delete ui;
}

void chartStart::on_okBtn_clicked()
{
    Curve_Setting setting;
    setting.mode = ui->comboBox->currentText() == tr("PUSH") ? PushMode : PullMode;
    setting.distanceMode = ui->relativeRBtn->isChecked() ? RelativeDistance : AbsoluteDistance;
    setting.speed = NumberText::toInt(ui->speedEdit->text());
    setting.distance = NumberText::toFloat(ui->distanceEdit->text());

    emit sendCurveSetting(setting);
    close();
}

void chartStart::on_cancelBtn_clicked()
{
    close();
}

void chartStart::receiveCurveSetting(Curve_Setting setting)
{
    ui->distanceEdit->setText(tr("%1").arg(NumberText::distance(setting.distance)));
    ui->speedEdit->setText(tr("%1").arg(setting.speed));

    if (setting.mode == PushMode || setting.mode == PullMode)
        ui->comboBox->setCurrentIndex(setting.mode);

    if (setting.distanceMode != RelativeDistance)
        ui->absouteRBtn->setChecked(true);
    else
        ui->relativeRBtn->setChecked(true);
}
