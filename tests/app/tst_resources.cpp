#include <QtTest>

#include <QIcon>
#include <QPixmap>
#include <QTranslator>

namespace {

const char CatalogueResource[] = ":/language/cn.qm";

struct Entry
{
    const char *context;
    const char *source;
    const char *chinese;
};

// Every translated text of the Chinese catalogue, context by context.
const Entry ChineseEntries[] = {
    {"MainWindow", "%1 close", "%1 断开"},
    {"MainWindow", "%1,%2,%3,%4,%5,success", "%1,%2,%3,%4,%5,连接成功"},
    {"MainWindow", "Torvelin Ver %1", "Torvelin版本 %1"},
    {"MainWindow", "Torvelin", "Torvelin"},
    {"MainWindow", "Axis Set", "坐标设置"},
    {"MainWindow", "COM open failed", "串口打开失败"},
    {"MainWindow", "Chart", "图表"},
    {"MainWindow", "Connect", "连接"},
    {"MainWindow", "Device", "设备"},
    {"MainWindow", "Disconnect", "断开"},
    {"MainWindow", "Distance", "位移"},
    {"MainWindow", "Exit", "退出"},
    {"MainWindow", "Export", "导出"},
    {"MainWindow", "File", "文件"},
    {"MainWindow", "Force", "力值"},
    {"MainWindow", "Forward", "进程"},
    {"MainWindow", "Help", "帮助"},
    {"MainWindow", "Info", "信息"},
    {"MainWindow", "Language", "语言"},
    {"MainWindow", "New", "新建"},
    {"MainWindow", "Open", "打开"},
    {"MainWindow", "Option", "选项"},
    {"MainWindow", "Please close the serial port!", "请关闭串口!"},
    {"MainWindow", "Refresh", "刷新"},
    {"MainWindow", "Return", "返程"},
    {"MainWindow", "Save", "保存"},
    {"MainWindow", "Setting", "设置"},
    {"MainWindow", "Start", "开始"},
    {"MainWindow", "Stop", "停止"},
    {"MainWindow", "The graph has no data!", "图表中没有数据!"},
    {"MainWindow", "Type", "型号"},
    {"MainWindow", "Type-%1", "型号-%1"},
    {"MainWindow", "Waring", "警告"},
    {"MainWindow", "about", "关于"},
    {"MainWindow", "machine parameter", "机器参数"},
    {"MainWindow", "The curves could not be saved to %1: %2", "曲线无法保存到 %1: %2"},
    {"machineParameter", "1st", "段1"},
    {"machineParameter", "2nd", "段2"},
    {"machineParameter", "3rd", "段3"},
    {"machineParameter", "4th", "段4"},
    {"machineParameter", "5th", "段5"},
    {"machineParameter", "Data", "数据"},
    {"machineParameter", "Delete", "删除"},
    {"machineParameter", "Distance(mm)", "位移(mm)"},
    {"machineParameter", "Force(N)", "力值(N)"},
    {"machineParameter", "Free Length(mm)", "自由长度(mm)"},
    {"machineParameter", "Group Number", "组编号"},
    {"machineParameter", "I.Load", "初张力"},
    {"machineParameter", "Lower(N)", "下限值(N)"},
    {"machineParameter", "New", "新建"},
    {"machineParameter", "Next", "下一个"},
    {"machineParameter", "Next Group", "下一组"},
    {"machineParameter", "Pre", "上一个"},
    {"machineParameter", "Pre Group", "上一组"},
    {"machineParameter", "Repeat Number", "重复次数"},
    {"machineParameter", "S.Rate", "刚度"},
    {"machineParameter", "Save", "保存"},
    {"machineParameter", "Setting", "设置"},
    {"machineParameter", "Speed(mm/min)", "速度"},
    {"machineParameter", "Spring Rate(N/mm)", "弹簧刚度(N/mm)"},
    {"machineParameter", "Test Number", "测试编号"},
    {"machineParameter", "Test Point", "段点"},
    {"machineParameter", "Tol(%)", "误差(%)"},
    {"machineParameter", "Upper(N)", "上限值(N)"},
    {"machineParameter", "distance(mm)", "位移(mm)"},
    {"machineParameter", "effective winding", "有效圈数"},
    {"machineParameter", "machineParameter", "机器参数"},
    {"machineParameter", "mean diameter(mm)", "弹簧中径(mm)"},
    {"machineParameter", "wire diameter(mm)", "弹簧线径(mm)"},
    {"serialSettingDialog", "Apply", "应用"},
    {"serialSettingDialog", "BaudRate:", "波特率:"},
    {"serialSettingDialog", "Data bits:", "数据位:"},
    {"serialSettingDialog", "Description:", "描述:"},
    {"serialSettingDialog", "Location:", "端口号:"},
    {"serialSettingDialog", "Manufacturer:", "厂商:"},
    {"serialSettingDialog", "Parity:", "校验位:"},
    {"serialSettingDialog", "Product ID:", "产品标识:"},
    {"serialSettingDialog", "Select Parameters", "选择参数"},
    {"serialSettingDialog", "Select Serial Port", "选择串口"},
    {"serialSettingDialog", "Serial number:", "序列号:"},
    {"serialSettingDialog", "Settings", "设置"},
    {"serialSettingDialog", "Stop bits:", "停止位:"},
    {"serialSettingDialog", "Vendor ID:", "供应商标识:"},
    {"SerialSettingDialog", "Description: %1", "描述: %1"},
    {"SerialSettingDialog", "Location: %1", "端口号: %1"},
    {"SerialSettingDialog", "Manufacturer: %1", "厂商: %1"},
    {"SerialSettingDialog", "Product Identifier: %1", "产品标识: %1"},
    {"SerialSettingDialog", "Serial number: %1", "序列号: %1"},
    {"SerialSettingDialog", "Vendor Identifier: %1", "供应商标识: %1"},
    {"languageSelectDialog", "Cancel", "取消"},
    {"languageSelectDialog", "Chinese", "中文"},
    {"languageSelectDialog", "Confirm change the language?", "确认修改语言?"},
    {"languageSelectDialog", "Confrim", "确认"},
    {"languageSelectDialog", "English", "英语"},
    {"languageSelectDialog", "Info", "信息"},
    {"languageSelectDialog", "Language", "语言"},
    {"languageSelectDialog", "Language will be changed after application restart!", "应用重启后修改语言!"},
    {"languageSelectDialog", "OK", "确认"},
    {"languageSelectDialog", "System", "系统"},
    {"languageSelectDialog", "languageSelect", "语言选择"},
    {"languageSelectDialog", "The language choice could not be saved to %1: %2", "无法将语言选择保存到 %1: %2"},
    {"chartStart", "Absolute Distance", "绝对位移"},
    {"chartStart", "Cancel", "取消"},
    {"chartStart", "ChartSetting", "图表设置"},
    {"chartStart", "Distance", "位移"},
    {"chartStart", "Mode", "模式"},
    {"chartStart", "OK", "确认"},
    {"chartStart", "PULL", "拉伸"},
    {"chartStart", "PUSH", "压缩"},
    {"chartStart", "Relative Distance", "相对位移"},
    {"chartStart", "Speed", "速度"},
    {"curveSettingDialog", "AxisAutoSet", "自动设置"},
    {"curveSettingDialog", "AxisSetting", "坐标设置"},
    {"curveSettingDialog", "Cancel", "取消"},
    {"curveSettingDialog", "Max", "最大"},
    {"curveSettingDialog", "Min", "最小"},
    {"curveSettingDialog", "OK", "确认"},
    {"curveSettingDialog", "Reversed", "反向"},
    {"curveSettingDialog", "Xaxis", "x轴"},
    {"curveSettingDialog", "Yaxis", "y轴"},
    {"CurveFile", "%1 does not exist.", "%1 不存在。"},
    {"CurveFile", "%1 is a folder.", "%1 是文件夹。"},
    {"CurveFile", "%1 is not a regular file.", "%1 不是普通文件。"},
    {"CurveFile", "No file was chosen.", "未选择文件。"},
    {"PlotExport", "%1 was not written: pictures can be exported as JPEG (.jpg), BMP (.bmp) or PDF (.pdf) only.", "%1 未写入: 图片只能导出为 JPEG (.jpg)、BMP (.bmp) 或 PDF (.pdf)。"},
    {"PlotExport", "The picture could not be written to %1.", "图片无法写入 %1。"},
};

} // namespace

// The compiled-in resources: the window's icons and the Chinese catalogue.
class tst_resources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void iconIsCompiledIn_data();
    void iconIsCompiledIn();

    void catalogueTranslatesEntry_data();
    void catalogueTranslatesEntry();
    void catalogueLeavesTextEnglish_data();
    void catalogueLeavesTextEnglish();

private:
    QTranslator chinese;
};

void tst_resources::initTestCase()
{
    QVERIFY(chinese.load(QString::fromLatin1(CatalogueResource)));
    QVERIFY(!chinese.isEmpty());
    QVERIFY(QCoreApplication::installTranslator(&chinese));
}

void tst_resources::cleanupTestCase()
{
    QCoreApplication::removeTranslator(&chinese);
}

void tst_resources::iconIsCompiledIn_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<int>("minimumSize");

    QTest::newRow("exit") << ":/images/application-exit.png" << 32;
    QTest::newRow("chart") << ":/images/line-chart.png" << 32;
    QTest::newRow("window") << ":/images/Torvelin.png" << 64;
    QTest::newRow("disconnect") << ":/images/disconnect.png" << 32;
    QTest::newRow("connect") << ":/images/connect.png" << 32;
    QTest::newRow("settings") << ":/images/settings.png" << 32;
}

void tst_resources::iconIsCompiledIn()
{
    QFETCH(QString, resource);
    QFETCH(int, minimumSize);

    const QPixmap pixmap(resource, "PNG");
    QVERIFY2(!pixmap.isNull(), qPrintable(resource));
    QCOMPARE(pixmap.width(), pixmap.height());
    QVERIFY(pixmap.width() >= minimumSize);
    // Drawn on a transparent ground so that they sit on any tool bar.
    QVERIFY(pixmap.hasAlphaChannel());
}

void tst_resources::catalogueTranslatesEntry_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("chinese");

    for (const Entry &entry : ChineseEntries) {
        QTest::addRow("%s: %s", entry.context, entry.source)
            << QString::fromLatin1(entry.context) << QString::fromUtf8(entry.source)
            << QString::fromUtf8(entry.chinese);
    }
}

void tst_resources::catalogueTranslatesEntry()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, chinese);

    QCOMPARE(QCoreApplication::translate(qPrintable(context), source.toUtf8().constData()),
             chinese);
}

void tst_resources::catalogueLeavesTextEnglish_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");

    // Catalogued with an empty translation, which must not blank the text.
    QTest::newRow("default baud rate") << "SerialSettingDialog" << "115200";
    // Curve file markers: every file carries them in English.
    QTest::newRow("forward marker") << "MainWindow" << "Data Forward:";
    QTest::newRow("return marker") << "MainWindow" << "Data Return:";
    QTest::newRow("force readout") << "MainWindow" << "%1 N";
    QTest::newRow("distance readout") << "MainWindow" << "%1 mm";
    QTest::newRow("cursor readout") << "MainWindow" << "%1, %2";
    QTest::newRow("placeholder") << "MainWindow" << "TextLabel";
    // Apply maps the parity items by their English texts.
    QTest::newRow("parity none") << "serialSettingDialog" << "none";
    QTest::newRow("parity even") << "serialSettingDialog" << "even";
    QTest::newRow("parity odd") << "serialSettingDialog" << "odd";
    QTest::newRow("baud rate item") << "serialSettingDialog" << "115200";
    QTest::newRow("unit mm") << "chartStart" << "mm";
    QTest::newRow("unit mm/min") << "chartStart" << "mm/min";
    QTest::newRow("fill template") << "chartStart" << "%1";
    QTest::newRow("point number") << "machineParameter" << "1";
    // A text of one context is not found under another.
    QTest::newRow("other context") << "languageSelectDialog" << "Force";
}

void tst_resources::catalogueLeavesTextEnglish()
{
    QFETCH(QString, context);
    QFETCH(QString, source);

    const QByteArray sourceText = source.toUtf8();
    QVERIFY(chinese.translate(qPrintable(context), sourceText.constData()).isEmpty());
    QCOMPARE(QCoreApplication::translate(qPrintable(context), sourceText.constData()), source);
}

QTEST_MAIN(tst_resources)
#include "tst_resources.moc"
