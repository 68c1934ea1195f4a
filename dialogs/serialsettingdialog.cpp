#include "dialogs/serialsettingdialog.h"

#include "device/numbertext.h"
#include "dialogs/serialportlist.h"
#include "ui_serialsettingdialog.h"

namespace {

// Order of the items of parityBox. The items are mapped by position, so a
// catalogue that translated them could not break the mapping.
constexpr char ParityLetters[] = {'N', 'E', 'O'};
constexpr int ParityCount = int(sizeof(ParityLetters));

#ifdef Q_OS_WIN
// libmodbus opens COM ports through the device namespace, which is also the
// only way to reach COM10 and above.
const QString DevicePrefix = QStringLiteral("\\\\.\\");
#endif

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

void SerialSettingDialog::on_applyButton_clicked()
{
    Serial_Setting_Type setting;
#ifdef Q_OS_WIN
    setting.portName = DevicePrefix + ui->serialPortInfoListBox->currentText();
#else
    // Elsewhere libmodbus wants the device file (/dev/ttyUSB0), not the name;
    // with no port listed this stays empty and the next Connect fails.
    setting.portName = ui->serialPortInfoListBox->currentData().toStringList()
                           .value(SerialPortList::Location);
#endif
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
