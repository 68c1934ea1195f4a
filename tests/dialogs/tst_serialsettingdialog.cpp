#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QtTest>

#include "dialogs/serialportlist.h"
#include "dialogs/serialsettingdialog.h"
#include "scopedtranslator.h"

namespace {

const QStringList Ftdi = SerialPortList::fields(
    QStringLiteral("COM3"), QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"),
    QStringLiteral("A50285BI"), QStringLiteral("/dev/ttyUSB0"), 0x0403, 0x6001);
const QStringList Prolific = SerialPortList::fields(
    QStringLiteral("COM12"), QStringLiteral("USB-Serial Controller"), QStringLiteral("Prolific"),
    QStringLiteral("P12"), QStringLiteral("/dev/ttyUSB1"), 0x067b, 0x2303);
const QStringList Onboard = SerialPortList::fields(
    QStringLiteral("COM1"), QString(), QString(), QString(), QStringLiteral("/dev/ttyS0"), 0, 0);

// The device string that Apply hands to libmodbus for a listed port.
QString deviceString(const QStringList &port)
{
#ifdef Q_OS_WIN
    return QStringLiteral("\\\\.\\") + port.value(SerialPortList::Name);
#else
    return port.value(SerialPortList::Location);
#endif
}

QString labelText(QDialog &dialog, const char *name)
{
    auto *label = dialog.findChild<QLabel *>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(QLatin1String(name));
}

// The six port information labels, top to bottom.
QStringList portLabels(QDialog &dialog)
{
    QStringList texts;
    for (const char *name : {"descriptionLabel", "manufacturerLabel", "serialNumberLabel",
                             "locationLabel", "vidLabel", "pidLabel"})
        texts << labelText(dialog, name);
    return texts;
}

QComboBox *combo(QDialog &dialog, const char *name)
{
    return dialog.findChild<QComboBox *>(QString::fromLatin1(name));
}

// Records every setting the dialog sends.
struct SettingRecorder
{
    QList<Serial_Setting_Type> settings;
    void attach(SerialSettingDialog *dialog)
    {
        QObject::connect(dialog, &SerialSettingDialog::sendSerialSetting, dialog,
                         [this](Serial_Setting_Type s) { settings.append(s); });
    }
};

void clickApply(QDialog &dialog)
{
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("applyButton")), Qt::LeftButton);
}

// Stands in for a catalogue that did translate the parity items.
class ParityTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (qstrcmp(context, "serialSettingDialog") != 0)
            return QString();
        if (qstrcmp(source, "none") == 0)
            return QStringLiteral("无");
        if (qstrcmp(source, "even") == 0)
            return QStringLiteral("偶校验");
        if (qstrcmp(source, "odd") == 0)
            return QStringLiteral("奇校验");
        return QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class tst_SerialSettingDialog : public QObject
{
    Q_OBJECT

private slots:
    void systemPortsAreListedInOrder();
    void applyWithoutChangesSendsFirstPortAndDefaults();
    void applyDeliversChosenLineSettings_data();
    void applyDeliversChosenLineSettings();
    void applySendsOnceAndDestroysDialog();
    void noPortsKeepsPlainLabelsAndSendsNoDevice();
    void portInfoShowsIdentifiersInHex_data();
    void portInfoShowsIdentifiersInHex();
    void selectingAnotherPortUpdatesAllSixLabels();
    void escapeSendsNothing();
    void opensOnTheSettingsInUse_data();
    void opensOnTheSettingsInUse();
    void chineseCatalogueLeavesParityItemsEnglish();
    void parityMappingSurvivesTranslatedItems();
};

void tst_SerialSettingDialog::systemPortsAreListedInOrder()
{
    SerialSettingDialog dialog;
    QStringList expected;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        expected << info.portName();
    QStringList listed;
    QComboBox *box = combo(dialog, "serialPortInfoListBox");
    for (int i = 0; i < box->count(); ++i)
        listed << box->itemText(i);
    QCOMPARE(listed, expected);
}

void tst_SerialSettingDialog::applyWithoutChangesSendsFirstPortAndDefaults()
{
    SerialSettingDialog dialog({Ftdi, Prolific});
    SettingRecorder recorder;
    recorder.attach(&dialog);
    QCOMPARE(combo(dialog, "baudRateBox")->currentText(), QStringLiteral("115200"));
    QCOMPARE(combo(dialog, "dataBitsBox")->currentText(), QStringLiteral("8"));

    clickApply(dialog);

    QCOMPARE(recorder.settings.size(), 1);
    const Serial_Setting_Type s = recorder.settings.first();
    QCOMPARE(s.portName, deviceString(Ftdi));
    QCOMPARE(s.baudRate, 115200);
    QCOMPARE(s.dataBits, 8);
    QCOMPARE(s.stopBits, 1);
    QCOMPARE(s.parity, 'N');
}

void tst_SerialSettingDialog::applyDeliversChosenLineSettings_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("dataBits");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("stopBits");
    QTest::addColumn<char>("letter");

    QTest::newRow("COM12 9600 7 even 2") << "COM12" << "9600" << "7" << "even" << "2" << 'E';
    QTest::newRow("COM1 1200 5 odd 1") << "COM1" << "1200" << "5" << "odd" << "1" << 'O';
    QTest::newRow("COM3 14400 6 none 2") << "COM3" << "14400" << "6" << "none" << "2" << 'N';
}

void tst_SerialSettingDialog::applyDeliversChosenLineSettings()
{
    QFETCH(QString, port);
    QFETCH(QString, baud);
    QFETCH(QString, dataBits);
    QFETCH(QString, parity);
    QFETCH(QString, stopBits);
    QFETCH(char, letter);

    SerialSettingDialog dialog({Ftdi, Prolific, Onboard});
    SettingRecorder recorder;
    recorder.attach(&dialog);
    for (auto [box, text] : {std::pair{"serialPortInfoListBox", port}, {"baudRateBox", baud},
                             {"dataBitsBox", dataBits}, {"parityBox", parity},
                             {"stopBitsBox", stopBits}}) {
        const int index = combo(dialog, box)->findText(text);
        QVERIFY2(index >= 0, box);
        combo(dialog, box)->setCurrentIndex(index);
    }

    clickApply(dialog);

    QCOMPARE(recorder.settings.size(), 1);
    const Serial_Setting_Type s = recorder.settings.first();
    const QStringList chosen = port == "COM12" ? Prolific : port == "COM1" ? Onboard : Ftdi;
    QCOMPARE(s.portName, deviceString(chosen));
    QCOMPARE(s.baudRate, baud.toInt());
    QCOMPARE(s.dataBits, dataBits.toInt());
    QCOMPARE(s.stopBits, stopBits.toInt());
    QCOMPARE(s.parity, letter);
}

void tst_SerialSettingDialog::applySendsOnceAndDestroysDialog()
{
    QWidget window;
    QPointer<SerialSettingDialog> dialog = new SerialSettingDialog({Ftdi}, &window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    SettingRecorder recorder;
    recorder.attach(dialog);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));

    clickApply(*dialog);

    QCOMPARE(recorder.settings.size(), 1);
    QTRY_VERIFY(dialog.isNull());
}

void tst_SerialSettingDialog::noPortsKeepsPlainLabelsAndSendsNoDevice()
{
    SerialSettingDialog dialog(QList<QStringList>{});
    SettingRecorder recorder;
    recorder.attach(&dialog);
    QCOMPARE(combo(dialog, "serialPortInfoListBox")->count(), 0);
    QCOMPARE(portLabels(dialog), (QStringList{"Description:", "Manufacturer:", "Serial number:",
                                              "Location:", "Vendor ID:", "Product ID:"}));

    clickApply(dialog);

    // The line settings still go out; the next Connect fails on the device.
    QCOMPARE(recorder.settings.size(), 1);
#ifdef Q_OS_WIN
    QCOMPARE(recorder.settings.first().portName, QStringLiteral("\\\\.\\"));
#else
    QVERIFY(recorder.settings.first().portName.isEmpty());
#endif
    QCOMPARE(recorder.settings.first().baudRate, 115200);
}

void tst_SerialSettingDialog::portInfoShowsIdentifiersInHex_data()
{
    QTest::addColumn<quint16>("vendorId");
    QTest::addColumn<quint16>("productId");
    QTest::addColumn<QString>("vidText");
    QTest::addColumn<QString>("pidText");

    QTest::newRow("FTDI 0403:6001") << quint16(0x0403) << quint16(0x6001)
                                    << "Vendor Identifier: 403" << "Product Identifier: 6001";
    QTest::newRow("unknown identifiers") << quint16(0) << quint16(0)
                                         << "Vendor Identifier: " << "Product Identifier: ";
    QTest::newRow("lowercase hex") << quint16(0xABCD) << quint16(0xFFFF)
                                   << "Vendor Identifier: abcd" << "Product Identifier: ffff";
}

void tst_SerialSettingDialog::portInfoShowsIdentifiersInHex()
{
    QFETCH(quint16, vendorId);
    QFETCH(quint16, productId);
    QFETCH(QString, vidText);
    QFETCH(QString, pidText);

    const QStringList port = SerialPortList::fields(QStringLiteral("COM7"), QString(), QString(),
                                                    QString(), QStringLiteral("/dev/ttyACM0"),
                                                    vendorId, productId);
    SerialSettingDialog dialog({port});

    QCOMPARE(labelText(dialog, "vidLabel"), vidText);
    QCOMPARE(labelText(dialog, "pidLabel"), pidText);
}

void tst_SerialSettingDialog::selectingAnotherPortUpdatesAllSixLabels()
{
    SerialSettingDialog dialog({Ftdi, Prolific});
    QCOMPARE(labelText(dialog, "descriptionLabel"), QStringLiteral("Description: FT232R USB UART"));

    combo(dialog, "serialPortInfoListBox")->setCurrentIndex(1);

    QCOMPARE(portLabels(dialog), (QStringList{"Description: USB-Serial Controller",
                                              "Manufacturer: Prolific", "Serial number: P12",
                                              "Location: /dev/ttyUSB1", "Vendor Identifier: 67b",
                                              "Product Identifier: 2303"}));
}

void tst_SerialSettingDialog::escapeSendsNothing()
{
    SerialSettingDialog dialog({Ftdi});
    SettingRecorder recorder;
    recorder.attach(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTRY_VERIFY(!dialog.isVisible());

    QVERIFY(recorder.settings.isEmpty());
}

void tst_SerialSettingDialog::opensOnTheSettingsInUse_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("items");
    QTest::newRow("a listed port") << deviceString(Prolific) << 3;
    QTest::newRow("a by-id path the list leaves out")
        << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" << 4;
}

// Apply without a change keeps the link where it is.
void tst_SerialSettingDialog::opensOnTheSettingsInUse()
{
    QFETCH(QString, device);
    QFETCH(int, items);
    SerialSettingDialog dialog({Ftdi, Prolific, Onboard});
    SettingRecorder recorder;
    recorder.attach(&dialog);
    Serial_Setting_Type inUse;
    inUse.portName = device;
    inUse.baudRate = 9600;
    inUse.dataBits = 7;
    inUse.stopBits = 2;
    inUse.parity = 'O';
    dialog.showSetting(inUse);
    QCOMPARE(combo(dialog, "serialPortInfoListBox")->count(), items);
    QVERIFY(labelText(dialog, "locationLabel").endsWith(device));

    clickApply(dialog);
    QCOMPARE(recorder.settings.size(), 1);
    const Serial_Setting_Type sent = recorder.settings.first();
    QCOMPARE(sent.portName, device);
    QCOMPARE(sent.baudRate, 9600);
    QCOMPARE(sent.dataBits, 7);
    QCOMPARE(sent.stopBits, 2);
    QCOMPARE(sent.parity, 'O');
}

void tst_SerialSettingDialog::chineseCatalogueLeavesParityItemsEnglish()
{
    QTranslator chinese;
    QVERIFY(chinese.load(QString::fromLatin1(chineseCatalogue())));
    ScopedTranslator installed(&chinese);

    SerialSettingDialog dialog({Ftdi});
    SettingRecorder recorder;
    recorder.attach(&dialog);
    // The form's texts and the information formats come from two contexts.
    QCOMPARE(dialog.windowTitle(), QStringLiteral("设置"));
    QCOMPARE(labelText(dialog, "descriptionLabel"), QStringLiteral("描述: FT232R USB UART"));

    QComboBox *parity = combo(dialog, "parityBox");
    QCOMPARE(parity->itemText(0), QStringLiteral("none"));
    QCOMPARE(parity->itemText(1), QStringLiteral("even"));
    QCOMPARE(parity->itemText(2), QStringLiteral("odd"));
    parity->setCurrentIndex(2);
    clickApply(dialog);

    QCOMPARE(recorder.settings.size(), 1);
    QCOMPARE(recorder.settings.first().parity, 'O');
    QCOMPARE(recorder.settings.first().baudRate, 115200);
}

void tst_SerialSettingDialog::parityMappingSurvivesTranslatedItems()
{
    ParityTranslator translator;
    ScopedTranslator installed(&translator);

    for (const char letter : {'N', 'E', 'O'}) {
        SerialSettingDialog dialog({Ftdi});
        SettingRecorder recorder;
        recorder.attach(&dialog);
        QCOMPARE(combo(dialog, "parityBox")->itemText(1), QStringLiteral("偶校验"));
        combo(dialog, "parityBox")->setCurrentIndex(letter == 'N' ? 0 : letter == 'E' ? 1 : 2);
        clickApply(dialog);
        QCOMPARE(recorder.settings.size(), 1);
        QCOMPARE(recorder.settings.first().parity, letter);
    }
}

QTEST_MAIN(tst_SerialSettingDialog)
#include "tst_serialsettingdialog.moc"
