#include <QtTest>

#include <QIcon>
#include <QPixmap>
#include <QTranslator>

namespace {

const char CatalogueResource[] = ":/language/cn.qm";

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

    void catalogueIsCompiledIn_data();
    void catalogueIsCompiledIn();

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

// Which texts the catalogue holds is checked against the sources by the
// catalogue test (lupdate); here the catalogue built from it is compiled in.
void tst_resources::catalogueIsCompiledIn_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("shown");

    QTest::newRow("command") << "MainWindow" << "Connect" << QString::fromUtf8("连接");
    QTest::newRow("file-open message") << "CurveFile" << "It is a folder."
                                       << QString::fromUtf8("这是一个文件夹。");
    // Every curve file carries its markers in English, whatever the language.
    QTest::newRow("forward marker") << "MainWindow" << "Data Forward:" << "Data Forward:";
    QTest::newRow("return marker") << "MainWindow" << "Data Return:" << "Data Return:";
}

void tst_resources::catalogueIsCompiledIn()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, shown);

    QCOMPARE(QCoreApplication::translate(qPrintable(context), source.toUtf8().constData()),
             shown);
}

QTEST_MAIN(tst_resources)
#include "tst_resources.moc"
