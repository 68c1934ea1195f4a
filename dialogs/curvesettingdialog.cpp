#include "dialogs/curvesettingdialog.h"

#include "numbers/numbertext.h"
#include "widgets/widgetfit.h"
#include "ui_curvesettingdialog.h"

curveSettingDialog::curveSettingDialog(QWidget *parent, const AxisSetting &setting)
    : QDialog(parent)
    , ui(new Ui::curveSettingDialog)
{
    ui->setupUi(this);

    ui->xAxisMinEdit->setText(NumberText::distance(setting.xMin));
    ui->xAxisMaxEdit->setText(NumberText::distance(setting.xMax));
    ui->xAxisReversed->setChecked(setting.xReversed);
    ui->yAxisMinEdit->setText(NumberText::force(setting.yMin));
    ui->yAxisMaxEdit->setText(NumberText::force(setting.yMax));
    ui->yAxisReversed->setChecked(setting.yReversed);
    ui->checkBox->setChecked(setting.autoFit);

    // Distances of a zoomed-out plot and five-digit forces, with signs.
    for (QLineEdit *edit : {ui->xAxisMinEdit, ui->xAxisMaxEdit})
        WidgetFit::reserve(edit, WidgetFit::digits(4, NumberText::DistanceDecimals));
    for (QLineEdit *edit : {ui->yAxisMinEdit, ui->yAxisMaxEdit})
        WidgetFit::reserve(edit, WidgetFit::digits(5, forceDecimals));
    WidgetFit::fit(this);
}

curveSettingDialog::~curveSettingDialog()
{
    delete ui;
}

void curveSettingDialog::on_okBtn_clicked()
{
    // A bound that is not a number counts as 0; nothing is refused.
    AxisSetting setting;
    setting.xMin = NumberText::toDouble(ui->xAxisMinEdit->text());
    setting.xMax = NumberText::toDouble(ui->xAxisMaxEdit->text());
    setting.yMin = NumberText::toDouble(ui->yAxisMinEdit->text());
    setting.yMax = NumberText::toDouble(ui->yAxisMaxEdit->text());
    setting.xReversed = ui->xAxisReversed->isChecked();
    setting.yReversed = ui->yAxisReversed->isChecked();
    setting.autoFit = ui->checkBox->isChecked();

    emit sendAxisSet(setting);
    close();
}

void curveSettingDialog::on_cancelBtn_clicked()
{
    close();
}
