#include "mainwindow/plotexport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <qcustomplot.h>

namespace {

constexpr int PlotWidth = 600;
constexpr int PlotHeight = 400;
constexpr int Dpi = 96;
constexpr double InchesPerMetre = 1 / 0.0254;

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestPlotExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void suffixComesFromTheWholePath_data();
    void suffixComesFromTheWholePath();
    void exportWritesTheFormatOfTheSuffix_data();
    void exportWritesTheFormatOfTheSuffix();
    void rasterPicturesHavePlotSizeAt96Dpi_data();
    void rasterPicturesHavePlotSizeAt96Dpi();
    void pdfIsOnePageOfPlotSize();
    void unsupportedSuffixWritesNothing_data();
    void unsupportedSuffixWritesNothing();
    void failedExportIsReported_data();
    void failedExportIsReported();

private:
    QCustomPlot *m_plot = nullptr;
    QTemporaryDir *m_dir = nullptr;
};

void TestPlotExport::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_plot = new QCustomPlot;
    m_plot->resize(PlotWidth, PlotHeight);
    QCPGraph *forward = m_plot->addGraph();
    forward->setPen(QPen(Qt::blue));
    forward->setName("Forward");
    QCPGraph *back = m_plot->addGraph();
    back->setPen(QPen(Qt::red));
    back->setName("Return");
    for (int i = 0; i <= 50; ++i) {
        forward->addData(i * 2.0, i * 8.0);
        back->addData(i * 2.0, i * 7.0);
    }
    m_plot->legend->setVisible(true);
    m_plot->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_plot));
    m_plot->replot();
    QCOMPARE(m_plot->size(), QSize(PlotWidth, PlotHeight));
}

void TestPlotExport::cleanup()
{
    delete m_plot;
    m_plot = nullptr;
    delete m_dir;
    m_dir = nullptr;
}

void TestPlotExport::suffixComesFromTheWholePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("plain") << "/data/curve.jpg" << "jpg";
    QTest::newRow("upper case") << "/data/curve.PDF" << "pdf";
    QTest::newRow("last dot wins") << "/data/curve.bmp.jpg" << "jpg";
    QTest::newRow("no dot") << "curve" << "curve";
    QTest::newRow("dot in a folder only") << "/data/run.2/curve" << "2/curve";
    QTest::newRow("trailing dot") << "/data/curve." << "";
}

void TestPlotExport::suffixComesFromTheWholePath()
{
    QFETCH(QString, path);
    QFETCH(QString, suffix);
    QCOMPARE(PlotExport::suffixOf(path), suffix);
}

void TestPlotExport::exportWritesTheFormatOfTheSuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("jpg") << "curve.jpg" << QByteArray("\xFF\xD8");
    QTest::newRow("JPG") << "curve.JPG" << QByteArray("\xFF\xD8");
    QTest::newRow("bmp") << "curve.bmp" << QByteArray("BM");
    QTest::newRow("pdf") << "curve.pdf" << QByteArray("%PDF");
}

void TestPlotExport::exportWritesTheFormatOfTheSuffix()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, magic);
    const QString path = m_dir->filePath(name);
    QString error;
    QCOMPARE(PlotExport::exportPlot(m_plot, path, &error), PlotExport::Written);
    QVERIFY(error.isEmpty());
    QVERIFY(fileContent(path).startsWith(magic));
}

void TestPlotExport::rasterPicturesHavePlotSizeAt96Dpi_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("jpg") << "curve.jpg";
    QTest::newRow("bmp") << "curve.bmp";
}

void TestPlotExport::rasterPicturesHavePlotSizeAt96Dpi()
{
    QFETCH(QString, name);
    const QString path = m_dir->filePath(name);
    QCOMPARE(PlotExport::exportPlot(m_plot, path, nullptr), PlotExport::Written);
    const QImage picture(path);
    QCOMPARE(picture.size(), QSize(PlotWidth, PlotHeight));
    // Image files carry whole dots per metre: 96 dpi is 3779.53 of them.
    QCOMPARE(qRound(picture.dotsPerMeterX() / InchesPerMetre), Dpi);
    QCOMPARE(qRound(picture.dotsPerMeterY() / InchesPerMetre), Dpi);
    // Not a blank page: the curves' blue and red are in it (blurred a
    // little by JPEG).
    constexpr int Dominance = 80;
    bool blue = false;
    bool red = false;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            blue = blue || (c.blue() - qMax(c.red(), c.green()) > Dominance);
            red = red || (c.red() - qMax(c.blue(), c.green()) > Dominance);
        }
    }
    QVERIFY(blue && red);
}

void TestPlotExport::pdfIsOnePageOfPlotSize()
{
    const QString path = m_dir->filePath("curve.pdf");
    QCOMPARE(PlotExport::exportPlot(m_plot, path, nullptr), PlotExport::Written);
    const QByteArray pdf = fileContent(path);
    QVERIFY(pdf.startsWith("%PDF"));
    // Binary streams hold NULs, at which fromLatin1(QByteArray) would stop.
    const QString text = QString::fromLatin1(pdf.constData(), pdf.size());

    const QRegularExpression pageObject(R"(/Type\s*/Page\b(?!s))");
    QCOMPARE(text.count(pageObject), 1);

    const QRegularExpression mediaBox(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])");
    const QRegularExpressionMatch box = mediaBox.match(text);
    QVERIFY2(box.hasMatch(), "the page carries no MediaBox");
    QCOMPARE(qRound(box.captured(1).toDouble()), PlotWidth);
    QCOMPARE(qRound(box.captured(2).toDouble()), PlotHeight);
}

void TestPlotExport::unsupportedSuffixWritesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("png") << "curve.png";
    QTest::newRow("jpeg") << "curve.jpeg";
    QTest::newRow("no suffix") << "curve";
    QTest::newRow("folder with a dot, file without") << "run.jpg/curve";
}

void TestPlotExport::unsupportedSuffixWritesNothing()
{
    QFETCH(QString, name);
    QVERIFY(QDir(m_dir->path()).mkdir("run.jpg"));
    QString error;
    QCOMPARE(PlotExport::exportPlot(m_plot, m_dir->filePath(name), &error),
             PlotExport::UnsupportedSuffix);
    QVERIFY2(error.contains(".jpg") && error.contains(".bmp") && error.contains(".pdf"),
             "the warning names the formats that can be exported");
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"run.jpg"});
    QVERIFY(QDir(m_dir->filePath("run.jpg")).isEmpty());
}

void TestPlotExport::failedExportIsReported_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("jpg") << "missing/curve.jpg";
    QTest::newRow("bmp") << "missing/curve.bmp";
    QTest::newRow("pdf") << "missing/curve.pdf";
    QTest::newRow("a folder named like a picture") << "folder.jpg";
}

void TestPlotExport::failedExportIsReported()
{
    QFETCH(QString, name);
    QVERIFY(QDir(m_dir->path()).mkdir("folder.jpg"));
    QString error;
    QCOMPARE(PlotExport::exportPlot(m_plot, m_dir->filePath(name), &error), PlotExport::Failed);
    QVERIFY(error.contains(m_dir->filePath(name)));
}

QTEST_MAIN(TestPlotExport)
#include "tst_plotexport.moc"
