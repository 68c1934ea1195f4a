#include "dialogs/chartstart.h"

#include <QColor>
#include <QIntValidator>
#include <QLocale>
#include <QPalette>
#include <QRegExp>
#include <QRegExpValidator>

#include "numbers/numbertext.h"
#include "widgets/widgetfit.h"
#include "ui_chartstart.h"

namespace {

constexpr int MinSpeed = 1;   // mm/min
constexpr int MaxSpeed = 500; // mm/min
// A speed field holding more than MaxSpeed.
const QColor TooHighBase(255, 220, 220);
const QColor TooHighText(Qt::darkRed);
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
    connect(ui->speedEdit, &QLineEdit::textEdited, this, [this] { markSpeedTooHigh(false); });

    // 200.00 mm; a speed the machine holds may have five digits.
    WidgetFit::reserve(ui->distanceEdit, WidgetFit::digits(3, NumberText::DistanceDecimals, false));
    WidgetFit::reserve(ui->speedEdit, WidgetFit::digits(5, 0, false));
    WidgetFit::fit(this);
}

chartStart::~chartStart()
{
    delete ui;
}

void chartStart::on_okBtn_clicked()
{
    // The validator lets 501 to 999 stand as intermediate text; sent on, the
    // machine would run at a speed it was never meant to.
    if (NumberText::toInt(ui->speedEdit->text()) > MaxSpeed) {
        markSpeedTooHigh(true);
        ui->speedEdit->setFocus();
        ui->speedEdit->selectAll();
        return;
    }

    Curve_Setting setting;
    setting.mode = ui->comboBox->currentText() == tr("PUSH") ? PushMode : PullMode;
    setting.distanceMode = ui->relativeRBtn->isChecked() ? RelativeDistance : AbsoluteDistance;
    setting.speed = NumberText::toInt(ui->speedEdit->text());
    setting.distance = NumberText::toFloat(ui->distanceEdit->text());

    emit sendCurveSetting(setting);
    close();
}

// The field itself shows what is wrong; a message box would hide the field.
void chartStart::markSpeedTooHigh(bool tooHigh)
{
    QPalette palette = this->palette();
    if (tooHigh) {
        palette.setColor(QPalette::Base, TooHighBase);
        palette.setColor(QPalette::Text, TooHighText);
    }
    ui->speedEdit->setPalette(palette);
    ui->speedEdit->setToolTip(tooHigh ? tr("At most %1 mm/min").arg(MaxSpeed) : QString());
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
