// Every window and dialog of the program, filled with the widest values an
// operator meets (five-digit forces, 200.00 mm, a by-id serial device), in
// English and in Chinese: no text may be wider than its room.
#include "textroom.h"

#include "app/languageselectdialog.h"
#include "device/numbertext.h"
#include "device/records.h"
#include "dialogs/axissetting.h"
#include "dialogs/chartstart.h"
#include "dialogs/curvesettingdialog.h"
#include "dialogs/serialportlist.h"
#include "dialogs/serialsettingdialog.h"
#include "dialogs/scopedtranslator.h"
#include "mainwindow/mainwindow.h"
#include "parameters/machineparameter.h"

#include <QtTest>

#include <QFontDatabase>
#include <QLabel>
#include <QTabWidget>

#include <memory>

namespace {

constexpr float WideForce = -12345.678f;
constexpr float WideDistance = 200.0f;
const char ByIdDevice[] = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

enum class Language { English, Chinese };

// PULL, absolute, 200.00 mm, 500 mm/min: the longest texts of each field.
Curve_Setting widestSetting()
{
    Curve_Setting setting;
    setting.mode = 1;
    setting.distanceMode = 1;
    setting.speed = 500;
    setting.distance = WideDistance;
    return setting;
}

std::unique_ptr<QWidget> mainWindow()
{
    auto window = std::make_unique<MainWindow>();
    window->resize(800, 600);
    QMetaObject::invokeMethod(window.get(), "receiveCurrentPointValue", Qt::DirectConnection,
                              Q_ARG(float, WideDistance), Q_ARG(float, WideForce));
    const Curve_Setting setting = widestSetting();
    QMetaObject::invokeMethod(window.get(), "receiveCurveSetting", Qt::DirectConnection,
                              Q_ARG(Curve_Setting, setting));
    // What Connect shows for the largest type it names.
    window->findChild<QLabel *>("typeLabel")->setText(MainWindow::tr("Type-%1").arg(5000));
    return window;
}

std::unique_ptr<QWidget> testStartDialog()
{
    auto dialog = std::make_unique<chartStart>(nullptr);
    const Curve_Setting setting = widestSetting();
    QMetaObject::invokeMethod(dialog.get(), "receiveCurveSetting", Qt::DirectConnection,
                              Q_ARG(Curve_Setting, setting));
    return dialog;
}

std::unique_ptr<QWidget> axisDialog()
{
    AxisSetting setting;
    setting.xMin = -WideDistance;
    setting.xMax = WideDistance;
    setting.yMin = WideForce;
    setting.yMax = -WideForce;
    return std::make_unique<curveSettingDialog>(nullptr, setting);
}

std::unique_ptr<QWidget> serialDialog()
{
    const QList<QStringList> ports {SerialPortList::fields(
        QStringLiteral("ttyUSB0"), QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"),
        QStringLiteral("A50285BI"), QStringLiteral("/dev/ttyUSB0"), 0x0403, 0x6001)};
    auto dialog = std::make_unique<SerialSettingDialog>(ports);
    Serial_Setting_Type inUse;
    inUse.portName = QLatin1String(ByIdDevice);
    dialog->showSetting(inUse);
    return dialog;
}

std::unique_ptr<QWidget> machineParameterDialog(int tab)
{
    auto dialog = std::make_unique<machineParameter>(nullptr);
    QVector<float> pointSet;
    for (int i = 0; i < 5; ++i)
        pointSet << WideForce;
    for (int i = 0; i < 5; ++i)
        pointSet << WideDistance;
    for (int i = 0; i < 10; ++i)
        pointSet << WideForce;
    pointSet << 99.99f << WideForce << WideDistance << 99.99f << 9.99f;
    dialog->receiveSystemSetting(pointSet, {99, 99, 9999, 500, 100, 100, 100, 100, 100});
    QVector<float> pointData;
    for (int i = 0; i < 5; ++i)
        pointData << WideForce * (i + 1) / 5;
    for (int i = 0; i < 5; ++i)
        pointData << WideDistance * (i + 1) / 5;
    dialog->receiveSystemData(pointData, {999, 999, 999, 999});
    dialog->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(tab);
    return dialog;
}

std::unique_ptr<QWidget> languageDialog()
{
    return std::make_unique<languageSelectDialog>(nullptr);
}

} // namespace

Q_DECLARE_METATYPE(Language)
Q_DECLARE_METATYPE(std::function<std::unique_ptr<QWidget>()>)

class tst_TextRoom : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyTextHasRoom_data();
    void everyTextHasRoom();
};

void tst_TextRoom::initTestCase()
{
    forceDecimals = 3;
}

void tst_TextRoom::everyTextHasRoom_data()
{
    using Build = std::function<std::unique_ptr<QWidget>()>;
    QTest::addColumn<Build>("build");
    QTest::addColumn<Language>("language");
    const QList<QPair<const char *, Build>> windows {
        {"main window", mainWindow},
        {"test start dialog", testStartDialog},
        {"axis dialog", axisDialog},
        {"serial dialog", serialDialog},
        {"machine parameter Setting", [] { return machineParameterDialog(0); }},
        {"machine parameter Data", [] { return machineParameterDialog(1); }},
        {"language dialog", languageDialog},
    };
    for (const auto &window : windows) {
        QTest::newRow(qPrintable(QStringLiteral("%1, English").arg(QLatin1String(window.first))))
            << window.second << Language::English;
        QTest::newRow(qPrintable(QStringLiteral("%1, Chinese").arg(QLatin1String(window.first))))
            << window.second << Language::Chinese;
    }
}

void tst_TextRoom::everyTextHasRoom()
{
    QFETCH(std::function<std::unique_ptr<QWidget>()>, build);
    QFETCH(Language, language);
    QTranslator chinese;
    std::unique_ptr<ScopedTranslator> installed;
    if (language == Language::Chinese) {
        if (QFontDatabase().families(QFontDatabase::SimplifiedChinese).isEmpty())
            QSKIP("No font for Chinese on this machine (Debian: fonts-wqy-microhei)");
        QVERIFY(chinese.load(QLatin1String(chineseCatalogue())));
        installed = std::make_unique<ScopedTranslator>(&chinese);
    }

    std::unique_ptr<QWidget> window = build();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    // Texts set after the form was built relayout through posted events.
    QCoreApplication::sendPostedEvents();

    const QString shots = qEnvironmentVariable("TORVELIN_SCREENSHOTS");
    if (!shots.isEmpty()) {
        QString name = QString::fromLatin1(QTest::currentDataTag());
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z]+")), QStringLiteral("-"));
        window->grab().save(QDir(shots).filePath(name + QStringLiteral(".png")));
    }
    const QStringList findings = textsWithoutRoom(window.get());
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join(QStringLiteral("\n  "))));
}

QTEST_MAIN(tst_TextRoom)
#include "tst_textroom.moc"
