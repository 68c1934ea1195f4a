#include "dialogs/serialsettingdialog.h"

#include "device/defaultport.h"
#include "numbers/numbertext.h"
#include "dialogs/serialportlist.h"
#include "ui_serialsettingdialog.h"

namespace {

// Order of the items of parityBox. The items are mapped by position, so a
// catalogue that translated them could not break the mapping.
constexpr char ParityLetters[] = {'N', 'E', 'O'};
constexpr int ParityCount = int(sizeof(ParityLetters));

} // namespace

SerialSettingDialog::SerialSettingDialog(QWidget *parent)
    : SerialSettingDialog(SerialPortList::available(), parent)
{
}

SerialSettingDialog::SerialSettingDialog(const QList<QStringList> &ports, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::serialSettingDialog)
{
    ui->setupUi(this);

    ui->dataBitsBox->setCurrentText(tr("8"));
    ui->baudRateBox->setCurrentText(tr("115200"));

    // The first item added becomes current and fills the information labels.
    for (const QStringList &port : ports)
        ui->serialPortInfoListBox->addItem(port.value(SerialPortList::Name), port);
}

SerialSettingDialog::~SerialSettingDialog()
{
    delete ui;
}

void SerialSettingDialog::showSetting(const Serial_Setting_Type &setting)
{
    QComboBox *ports = ui->serialPortInfoListBox;
    int index = -1;
    for (int i = 0; i < ports->count() && index < 0; ++i) {
        const QStringList port = ports->itemData(i).toStringList();
        if (devicePathForPort(port.value(SerialPortList::Name),
                              port.value(SerialPortList::Location))
            == setting.portName)
            index = i;
    }
    if (index < 0 && !setting.portName.isEmpty()) {
        const QString name = portNameForDevicePath(setting.portName);
        ports->addItem(name, SerialPortList::fields(name, tr("not in the system's list"), QString(),
                                                    QString(), setting.portName, 0, 0));
        index = ports->count() - 1;
    }
    if (index >= 0)
        ports->setCurrentIndex(index);

    // Values the boxes do not offer leave them as they are.
    ui->baudRateBox->setCurrentText(QString::number(setting.baudRate));
    ui->dataBitsBox->setCurrentText(QString::number(setting.dataBits));
    ui->stopBitsBox->setCurrentText(QString::number(setting.stopBits));
    for (int i = 0; i < ParityCount; ++i) {
        if (ParityLetters[i] == setting.parity)
            ui->parityBox->setCurrentIndex(i);
    }
}

void SerialSettingDialog::on_applyButton_clicked()
{
    Serial_Setting_Type setting;
    // With no port listed the device string is the bare Windows prefix, or
    // empty elsewhere, and the next Connect fails.
    setting.portName = devicePathForPort(
        ui->serialPortInfoListBox->currentText(),
        ui->serialPortInfoListBox->currentData().toStringList().value(SerialPortList::Location));
    setting.baudRate = NumberText::toInt(ui->baudRateBox->currentText());
    setting.dataBits = NumberText::toInt(ui->dataBitsBox->currentText());
    setting.stopBits = NumberText::toInt(ui->stopBitsBox->currentText());
    const int parityIndex = ui->parityBox->currentIndex();
    setting.parity = parityIndex >= 0 && parityIndex < ParityCount ? ParityLetters[parityIndex]
                                                                   : ParityLetters[0];

    emit sendSerialSetting(setting);
    close();
}

void SerialSettingDialog::on_serialPortInfoListBox_currentIndexChanged(int index)
{
    const QStringList port = ui->serialPortInfoListBox->itemData(index).toStringList();
    ui->descriptionLabel->setText(tr("Description: %1").arg(port.value(SerialPortList::Description)));
    ui->manufacturerLabel->setText(tr("Manufacturer: %1").arg(port.value(SerialPortList::Manufacturer)));
    ui->serialNumberLabel->setText(tr("Serial number: %1").arg(port.value(SerialPortList::SerialNumber)));
    ui->locationLabel->setText(tr("Location: %1").arg(port.value(SerialPortList::Location)));
    ui->vidLabel->setText(tr("Vendor Identifier: %1").arg(port.value(SerialPortList::VendorId)));
    ui->pidLabel->setText(tr("Product Identifier: %1").arg(port.value(SerialPortList::ProductId)));
}
