// Every window and dialog of the program, filled with the widest values an
// operator meets (five-digit forces, 200.00 mm, a by-id serial device, long
// part numbers, a lab's database server), in English and in Chinese: no
// text may be wider than its room.
#include "textroom.h"

#include "support/recordfixture.h"
#include "support/curvesof.h"

#include "app/languageselectdialog.h"
#include "app/translation.h"
#include "numbers/numbertext.h"
#include "device/settings.h"
#include "dialogs/axissetting.h"
#include "dialogs/chartstart.h"
#include "dialogs/curvesettingdialog.h"
#include "dialogs/serialportlist.h"
#include "dialogs/serialsettingdialog.h"
#include "dialogs/scopedtranslator.h"
#include "evaluation/evaluation.h"
#include "records/historyfilter.h"
#include "history/historywindow.h"
#include "history/reportheaderdialog.h"
#include "history/statisticswindow.h"
#include "linkstatus/linkstatisticsdialog.h"
#include "mainwindow/mainwindow.h"
#include "parameters/machineparameter.h"
#include "recording/databasedialog.h"
#include "results/programdialog.h"
#include "results/resultsdock.h"
#include "results/verdictband.h"

#include <QtTest>

#include <QAction>
#include <QFontDatabase>
#include <QLabel>
#include <QTabWidget>

#include <memory>

namespace {

constexpr float WideForce = -12345.678f;
constexpr float WideDistance = 200.0f;
const char ByIdDevice[] = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
const char PartNumber[] = "SP-2026-0412-A";
const char Batch[] = "B-2026-12-08-01";
// A spring of 61.728 N/mm: 12345.6 N at 200 mm.
constexpr double WideRate = -WideForce / WideDistance;

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

// Five points up to 200 mm and 12345.6 N, limits 5 % about each.
TestProgram wideProgram()
{
    TestProgram program;
    program.number = 99;
    program.speed = 500;
    for (int i = 1; i <= TestProgram::MaxPoints; ++i) {
        TestPoint point;
        point.distance = WideDistance * i / TestProgram::MaxPoints;
        // As typed: three decimals.
        point.force = std::round(WideRate * point.distance * 1000) / 1000;
        point.tolerancePercent = 5;
        program.points << point;
    }
    program.spring.freeLength = WideDistance;
    program.spring.rate = WideRate;
    return program;
}

// The results panel as a test of that program leaves it, the values of
// every row at their widest.
void showWideResults(QWidget *window)
{
    QVector<QPointF> forward;
    QVector<QPointF> back;
    for (double d = 0; d <= WideDistance; d += 10) {
        forward << QPointF(d, WideRate * d);
        back.prepend(QPointF(d, WideRate * d * 0.9));
    }
    auto *dock = window->findChild<ResultsDock *>();
    dock->showProgram(QStringLiteral("%1.json").arg(QLatin1String(PartNumber)));
    dock->showEvaluation(SpringEvaluation::evaluate(curvesOf(forward, back), wideProgram()), true);
}

// At the size it asks for, as on a screen that has the room; a smaller one
// makes the results table scroll sideways.
std::unique_ptr<MainWindow> newMainWindow()
{
    auto window = std::make_unique<MainWindow>();
    window->resize(window->sizeHint().expandedTo(QSize(800, 600)));
    return window;
}

std::unique_ptr<QWidget> mainWindow()
{
    auto window = newMainWindow();
    QMetaObject::invokeMethod(window.get(), "receiveCurrentPointValue", Qt::DirectConnection,
                              Q_ARG(float, WideDistance), Q_ARG(float, WideForce));
    const Curve_Setting setting = widestSetting();
    QMetaObject::invokeMethod(window.get(), "receiveCurveSetting", Qt::DirectConnection,
                              Q_ARG(Curve_Setting, setting));
    // What Connect shows for the largest type it names.
    window->findChild<QLabel *>("typeLabel")->setText(MainWindow::tr("Type-%1").arg(5000));
    showWideResults(window.get());
    window->findChild<VerdictBand *>()->showState(VerdictBand::State::Fail,
                                                  QStringLiteral("SN-2026-0412-A-00123"));
    return window;
}

// As Chart opens it: a child of the window that becomes a dialog of its own.
std::unique_ptr<QWidget> testStartDialog()
{
    auto window = newMainWindow();
    window->findChild<QAction *>(QStringLiteral("actionChart"))->trigger();
    const Curve_Setting setting = widestSetting();
    QMetaObject::invokeMethod(window->findChild<chartStart *>(), "receiveCurveSetting",
                              Qt::DirectConnection, Q_ARG(Curve_Setting, setting));
    return window;
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

std::unique_ptr<QWidget> programDialog()
{
    return std::make_unique<ProgramDialog>(wideProgram());
}

std::unique_ptr<QWidget> databaseDialog()
{
    DatabaseConfig lab;
    lab.engine = DatabaseConfig::PostgreSQL;
    lab.host = QStringLiteral("quality-lab-records.example.com");
    lab.database = QStringLiteral("torvelin_records");
    lab.user = QStringLiteral("bench07");
    lab.sslMode = QStringLiteral("verify-full");
    lab.sslRootCert = QStringLiteral("/etc/ssl/certs/quality-lab-root-ca.crt");
    return std::make_unique<DatabaseDialog>(lab, false);
}

std::unique_ptr<QWidget> linkStatisticsDialog()
{
    LinkReport report;
    report.answering = false;
    report.silentSince = QDateTime(QDate(2026, 12, 8), QTime(23, 59, 59));
    report.lastGapMs = 123456;
    report.lastGapDuringTest = true;
    report.counters = {123456789, 12345, 12345, 12345, 12345, 12345, 12345};
    auto dialog = std::make_unique<LinkStatisticsDialog>();
    dialog->receiveLinkReport(report);
    dialog->showRecordsLink(QStringLiteral("PostgreSQL bench07@quality-lab-records.example.com:5432/torvelin_records "
                                           "(sslmode verify-full), encrypted (TLSv1.3, TLS_AES_256_GCM_SHA384)"));
    return dialog;
}

std::unique_ptr<QWidget> reportHeaderDialog()
{
    return std::make_unique<ReportHeaderDialog>(
        LabHeader{QStringLiteral("Federnwerk Nord Präzisionsfedern GmbH & Co. KG"),
                  QStringLiteral("Hafenstraße 12, 24103 Kiel, Germany · +49 431 000000"),
                  QStringLiteral("/no/such/logo.png")});
}

std::unique_ptr<QWidget> historyWindow()
{
    return std::make_unique<HistoryWindow>();
}

std::unique_ptr<QWidget> statisticsWindow()
{
    HistoryFilter filter;
    filter.partNumber = QLatin1String(PartNumber);
    filter.batch = QLatin1String(Batch);
    return std::make_unique<StatisticsWindow>(filter);
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

private:
    RecordFixture records;
};

void tst_TextRoom::initTestCase()
{
    forceDecimals = 3;
    // The History and statistics windows read a batch of three tests.
    QVERIFY2(records.opened, qPrintable(records.error));
    qputenv("TORVELIN_DB", QFile::encodeName(records.config.sqlitePath));
    const QDateTime start(QDate(2026, 12, 8), QTime(23, 59, 0), Qt::UTC);
    const double nominal = -WideForce;
    for (int i = 0; i < 3; ++i) {
        const QVector<double> forces {nominal * 0.2 + i, nominal * 0.4 - i, nominal * 0.6,
                                      nominal * 0.8 + 2 * i, nominal - i};
        QVERIFY2(records.add(start.addSecs(i), PartNumber, Batch, i == 1 ? "fail" : "pass",
                             forces, nominal * 0.95, nominal * 1.05) > 0,
                 qPrintable(records.error));
    }
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
        {"program dialog", programDialog},
        {"database dialog", databaseDialog},
        {"link statistics dialog", linkStatisticsDialog},
        {"history window", historyWindow},
        {"statistics window", statisticsWindow},
        {"report header dialog", reportHeaderDialog},
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
    QTranslator qtChinese;
    std::unique_ptr<ScopedTranslator> qtInstalled;
    std::unique_ptr<ScopedTranslator> installed;
    if (language == Language::Chinese) {
        if (QFontDatabase().families(QFontDatabase::SimplifiedChinese).isEmpty())
            QSKIP("No font for Chinese on this machine (Debian: fonts-wqy-microhei)");
        QVERIFY(chinese.load(QLatin1String(chineseCatalogue())));
        // As the program installs them: Qt's own texts, then ours.
        QVERIFY(loadQtChinese(&qtChinese));
        qtInstalled = std::make_unique<ScopedTranslator>(&qtChinese);
        installed = std::make_unique<ScopedTranslator>(&chinese);
    }

    std::unique_ptr<QWidget> owner = build();
    owner->show();
    // The window, and the dialogs it opened itself.
    QWidgetList windows;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && !window->inherits("QMenu"))
            windows << window;
    }
    for (QWidget *window : windows)
        QVERIFY(QTest::qWaitForWindowExposed(window));
    // Texts set after the form was built relayout through posted events.
    QCoreApplication::sendPostedEvents();

    const QString shots = qEnvironmentVariable("TORVELIN_SCREENSHOTS");
    QStringList findings;
    for (QWidget *window : windows) {
        if (!shots.isEmpty()) {
            QString name = QString::fromLatin1(QTest::currentDataTag());
            if (window != owner.get())
                name += QLatin1Char('-') + window->objectName();
            name.replace(QRegularExpression(QStringLiteral("[^A-Za-z]+")), QStringLiteral("-"));
            window->grab().save(QDir(shots).filePath(name + QStringLiteral(".png")));
        }
        findings << textsWithoutRoom(window);
    }
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join(QStringLiteral("\n  "))));
}

QTEST_MAIN(tst_TextRoom)
#include "tst_textroom.moc"
