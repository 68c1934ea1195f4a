// The PDF reports, read back as text with pdftotext (poppler-utils), and
// the drawings they share with the windows.
#include "history/curveplot.h"
#include "history/histogramplot.h"
#include "history/labheader.h"
#include "history/reports.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <qcustomplot.h>

namespace {

constexpr int ReportHistogramWidth = 680;
constexpr int ReportHistogramHeight = 230;

QString runPoppler(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished() || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of the whole document, or of one page.
QString pdfText(const QString &path, int page = 0)
{
    QStringList arguments{QStringLiteral("-layout")};
    if (page > 0)
        arguments << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
                  << QString::number(page);
    return runPoppler(QStringLiteral("pdftotext"), arguments << path << QStringLiteral("-"));
}

StoredTest failedTest()
{
    StoredTest test;
    test.id = 4711;
    test.status = QStringLiteral("complete");
    test.header.startedAt = QDateTime::currentDateTimeUtc();
    test.header.identity = {QStringLiteral("Zhang Wei"), QStringLiteral("SP-20"),
                            QStringLiteral("B7-<b>"), QStringLiteral("SN-0042")};
    test.header.forceDecimals = 2;
    for (int i = 0; i <= 10; ++i)
        test.points.append({0, i * 1.0, i * 5.0});
    test.evaluation.judged = true;
    test.evaluation.programNumber = 12;
    // The stored program names itself and its version; its spring is a
    // 31.5 mm one.
    test.evaluation.programJson = QStringLiteral(
        R"({"number": 12, "name": "Valve spring VS-3", "version": "4", "speed": 120,
            "points": [{"distance": 4, "force": 20.5, "lower": 19, "upper": 21},
                       {"distance": 8, "force": 42.25, "lower": 41, "upper": 43}],
            "spring": {"free_length": 31.5, "mean_diameter": 12, "wire_diameter": 1.5,
                       "effective_coils": 6.5, "rate": 5}})");
    test.evaluation.verdict = Verdict::Fail;
    // The line was gone for a while on the return stroke.
    test.gap = LineGap{2.34, 12.5, 14.0};
    test.evaluation.points = {{1, 4.0, 20.0, 19.0, 21.0, Verdict::Pass},
                              {2, 8.0, 40.0, 41.0, 43.0, Verdict::Fail}};
    return test;
}

} // namespace

class tst_Reports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void testReportNamesTheSpringItsProgramAndItsVerdict();
    void testReportCarriesSignaturesAndAmendments();
    void batchReportListsItsTestsAndKeepsEachPointOnOnePage();
    void unwritableFileIsReported();
    void histogramLabelsNeverOverlap();
    void legendBelowTheCurves();
    void verificationCertificateAndSuspects();

private:
    QTemporaryDir dir;
    QString logo;
};

// Every report carries the lab's header from the settings.
void tst_Reports::initTestCase()
{
    logo = dir.filePath(QStringLiteral("logo.png"));
    QImage picture(120, 40, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    QVERIFY(picture.save(logo));
    LabHeader{QStringLiteral("Federnwerk Nord GmbH"), QStringLiteral("Hafenstraße 12, 24103 Kiel"),
              logo}
        .store();
}

void tst_Reports::testReportNamesTheSpringItsProgramAndItsVerdict()
{
    const QString path = dir.filePath(QStringLiteral("test.pdf"));
    QString error;
    QVERIFY2(Reports::writeTestPdf(path, failedTest(), &error), qPrintable(error));
    const QString text = pdfText(path);
    for (const char *expected :
         {"Federnwerk Nord GmbH", "Hafenstraße 12, 24103 Kiel", "Page 1 of 1", "4711", "Zhang Wei",
          "SP-20", "SN-0042", "FAIL", "41.00", "Valve spring VS-3", "Program number", "Nominal (N)",
          "42.25", "31.50 mm", "6.5", "120 mm/min", "Line gap", "2.3 s, 12.50–14.00 mm"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("Version\\s+4"))));
    QVERIFY(text.contains(QLatin1String("Not signed.")));
    // The operator's text is shown as typed, never read as markup.
    QVERIFY(text.contains(QLatin1String("B7-<b>")));
    const QString images = runPoppler(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path});
    QVERIFY2(images.count(QLatin1Char('\n')) > 2, qPrintable(images)); // headings and the logo
}

// 21 CFR 11.50: the signer's name, the time and the meaning, on the report.
void tst_Reports::testReportCarriesSignaturesAndAmendments()
{
    StoredTest test = failedTest();
    const QDateTime at(QDate(2026, 12, 9), QTime(8, 1, 2), Qt::LocalTime);
    test.signatures = {{test.id, QStringLiteral("rita"), at.toUTC(), RecordsReview::Approved,
                        QStringLiteral("curve checked")},
                       {test.id, QStringLiteral("otto"), at.addSecs(60).toUTC(), RecordsReview::Rejected, QString()}};
    test.amendments = {{test.id, QStringLiteral("rita"), at.toUTC(), RecordsReview::SerialNumber,
                        QStringLiteral("SN-0024"), QStringLiteral("SN-0042"), QStringLiteral("digits swapped")}};
    const QString path = dir.filePath(QStringLiteral("signed.pdf"));
    QString error;
    QVERIFY2(Reports::writeTestPdf(path, test, &error), qPrintable(error));
    const QString text = pdfText(path);
    for (const char *expected : {"Signatures", "Approved", "rita", "2026-12-09 08:01:02", "curve checked", "Rejected",
                                 "otto", "Amendments", "SN-0024", "digits swapped"})
        QVERIFY2(text.contains(QLatin1String(expected)), expected);
    QVERIFY(!text.contains(QLatin1String("Not signed.")));
}

void tst_Reports::batchReportListsItsTestsAndKeepsEachPointOnOnePage()
{
    // Sixty springs of five points, tested a minute apart on two days: the
    // list runs over pages.
    constexpr int Tests = 60;
    constexpr int Points = 5;
    constexpr int AbortedTest = 1;
    const QDateTime first(QDate(2026, 12, 7), QTime(23, 50), Qt::LocalTime);
    QVector<StoredTest> tests;
    QVector<BatchStatistics::PointSample> samples;
    QMap<int, QVector<double>> forces;
    RecordQueries::Batch batch;
    for (int i = 0; i < Tests; ++i) {
        StoredTest test;
        test.id = i + 1;
        test.header.startedAt = first.addSecs(60 * i).toUTC();
        test.header.identity.serialNumber = QStringLiteral("SN-%1").arg(100 + i);
        test.header.forceDecimals = 3;
        // One spring stopped before the machine returned: listed, unjudged.
        test.status = i == AbortedTest ? TestStatus::Aborted : TestStatus::Complete;
        test.evaluation.judged = i != AbortedTest;
        test.evaluation.verdict = Verdict::Pass;
        for (int p = 1; p <= Points && i != AbortedTest; ++p) {
            const double force = 10.0 * p + (i % 7) * 0.1;
            test.evaluation.points.append({p, 2.0 * p, force, 10.0 * p - 1, 10.0 * p + 1,
                                           Verdict::Pass});
            samples.append({p, force, 10.0 * p - 1, 10.0 * p + 1});
            forces[p].append(force);
        }
        if (i == 0)
            test.signatures = {{test.id, QStringLiteral("rita"), test.header.startedAt, RecordsReview::Reviewed, {}}};
        tests.prepend(test); // as the query hands them: newest first
    }
    batch.filter.batch = QStringLiteral("B7");
    batch.counts = {Tests, Tests, 0};
    batch.firstStartedAt = tests.last().header.startedAt;
    batch.lastStartedAt = tests.first().header.startedAt;
    batch.points = BatchStatistics::summarise(samples);
    for (auto it = forces.cbegin(); it != forces.cend(); ++it) {
        batch.subgroups[it.key()] = Spc::subgroupsOf(it.value(), batch.subgroupSize);
        for (double force : it.value())
            batch.forces[it.key()].append({force, 1});
    }

    const QString path = dir.filePath(QStringLiteral("batch.pdf"));
    QString error;
    QVERIFY2(Reports::writeBatchPdf(path, batch, tests, &error), qPrintable(error));
    const QString text = pdfText(path);
    QVERIFY(text.contains(QLatin1String("60 tests")));
    QVERIFY(text.contains(QLatin1String("Federnwerk Nord GmbH")));
    // The days the tests span, not an open range.
    QVERIFY2(text.contains(QString::fromUtf8("Days: 2026-12-07 – 2026-12-08")), qPrintable(text));
    QVERIFY(!text.contains(QString::fromUtf8("…")));
    // Every test listed, oldest first, with its forces.
    for (int i = 0; i < Tests; ++i)
        QVERIFY(text.contains(QStringLiteral("SN-%1").arg(100 + i)));
    QVERIFY(text.indexOf(QLatin1String("SN-100")) < text.indexOf(QLatin1String("SN-159")));
    QVERIFY(text.contains(QLatin1String("F5 (N)")));
    QVERIFY(text.contains(QLatin1String("50.600")));
    QVERIFY(text.contains(QLatin1String("Reviewed by rita")));
    QCOMPARE(text.count(QLatin1String("aborted")), 1);

    const int pages = runPoppler(QStringLiteral("pdfinfo"), {path})
                          .section(QLatin1String("Pages:"), 1)
                          .section(QLatin1Char('\n'), 0, 0)
                          .trimmed()
                          .toInt();
    QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
    QMap<int, int> titlesOf;
    for (int page = 1; page <= pages; ++page) {
        const QString onPage = pdfText(path, page);
        QVERIFY2(onPage.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages)),
                 qPrintable(onPage));
        // A point's heading and its histogram's axis carry its title, and
        // so do its control chart's two halves across the page: each pair
        // on one page.
        for (int p = 1; p <= Points; ++p) {
            const int titles = onPage.count(QStringLiteral("Force at test point %1 (N)").arg(p));
            QVERIFY2(titles % 2 == 0, qPrintable(QStringLiteral("point %1 page %2").arg(p).arg(page)));
            titlesOf[p] += titles;
        }
    }
    for (int p = 1; p <= Points; ++p)
        QCOMPARE(titlesOf.value(p), 4);
    // The formulas' symbols come out as they were written: no combining
    // marks for a PDF reader to lose.
    QVERIFY(text.contains(QString::fromUtf8("σ within = s-bar / c4")));
    QVERIFY(!text.contains(QChar(0x0302)) && !text.contains(QChar(0x0304)));
}

void tst_Reports::unwritableFileIsReported()
{
    QString error;
    QVERIFY(!Reports::writeTestPdf(dir.filePath(QStringLiteral("no/such/folder/test.pdf")),
                                   failedTest(), &error));
    QVERIFY(!error.isEmpty());
}

// Limits 0.1 N apart with the mean between them, at the report's size and
// at a small window's: each label keeps to itself, and above the bars.
void tst_Reports::histogramLabelsNeverOverlap()
{
    const QVector<double> forces{20.02, 20.04, 20.05, 20.06, 20.08};
    const BatchStatistics::PointSummary point =
        BatchStatistics::summarise({{1, 20.02, 20.0, 20.1}, {1, 20.04, 20.0, 20.1},
                                    {1, 20.05, 20.0, 20.1}, {1, 20.06, 20.0, 20.1},
                                    {1, 20.08, 20.0, 20.1}})
            .first();
    for (const QSize size : {QSize(ReportHistogramWidth, ReportHistogramHeight), QSize(300, 200)}) {
        QCustomPlot plot;
        HistogramPlot::draw(&plot, BatchStatistics::histogram(forces, point.lower, point.upper),
                            point, QStringLiteral("F1"));
        plot.toPixmap(size.width(), size.height());
        QVector<QRectF> labels;
        for (int i = 0; i < plot.itemCount(); ++i) {
            if (auto *text = qobject_cast<QCPItemText *>(plot.item(i)))
                labels << QRectF(text->topLeft->pixelPosition(), text->bottomRight->pixelPosition());
        }
        QCOMPARE(labels.size(), 3);
        for (int a = 0; a < labels.size(); ++a) {
            for (int b = a + 1; b < labels.size(); ++b)
                QVERIFY2(!labels.at(a).intersects(labels.at(b)), qPrintable(QString::number(size.width())));
            // The highest bar (two forces) ends below the lowest label.
            QVERIFY(plot.yAxis->coordToPixel(2) > labels.at(a).bottom());
        }
    }
}

void tst_Reports::legendBelowTheCurves()
{
    QCustomPlot plot;
    StoredTest test = failedTest();
    CurvePlot::setUp(&plot);
    CurvePlot::addTest(&plot, test, Qt::blue, QStringLiteral("SN-0042"));
    CurvePlot::putLegendBelow(&plot);
    plot.toPixmap(600, 330);
    QVERIFY(plot.legend->visible());
    QVERIFY(plot.legend->outerRect().top() >= plot.axisRect()->outerRect().bottom());
}

void tst_Reports::verificationCertificateAndSuspects()
{
    MachineVerification v;
    v.id = 31;
    v.station = QStringLiteral("bench-1");
    v.performedAt = QDateTime::currentDateTimeUtc();
    v.performedBy = QStringLiteral("M. Weber");
    v.reference = {QStringLiteral("Load cell LC-500"), QStringLiteral("DAkkS-123"), QDate(2027, 6, 1)};
    v.asFound.force = {{100, 100.4}, {500, 507}};
    v.asFoundVerdict = VerificationVerdict::Fail;
    v.asLeft.force = {{100, 100.1}, {500, 501}};
    v.asLeftVerdict = VerificationVerdict::Pass;
    v.nextDue = QDate(2027, 12, 1);
    const QString certificate = dir.filePath(QStringLiteral("verification.pdf"));
    QString error;
    QVERIFY2(Reports::writeVerificationPdf(certificate, v, &error), qPrintable(error));
    const QString text = pdfText(certificate);
    for (const char *expected : {"Federnwerk Nord GmbH", "Page 1 of 1", "Machine veri", // pdftotext gives the ligature "ﬁ"
                                 "bench-1", "M. Weber", "Load cell LC-500", "DAkkS-123", "2027-06-01",
                                 "±1 % of reading", "2027-12-01", "Force as found", "Force as left", "1.40",
                                 "507.000", "PASS"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);

    QVector<SuspectTest> tests;
    for (int i = 0; i < 80; ++i)
        tests << SuspectTest{i + 1, v.performedAt.addDays(-1).addSecs(60 * i), QStringLiteral("SP-20"),
                             i < 50 ? QStringLiteral("B7") : QStringLiteral("B8"), QStringLiteral("SN-%1").arg(i)};
    const QString suspects = dir.filePath(QStringLiteral("suspects.pdf"));
    QVERIFY2(Reports::writeSuspectsPdf(suspects, v, {}, tests, &error), qPrintable(error));
    const QString all = pdfText(suspects);
    for (const char *expected : {"Suspect tests", "Suspect tests: 80", "to now", "SN-0", "SN-79", "Page 2 of"})
        QVERIFY2(all.contains(QString::fromUtf8(expected)), expected);
    // Per part number and batch: what goes to which customer.
    QVERIFY(all.contains(QRegularExpression(QStringLiteral("SP-20\\s+B7\\s+50"))));
    QVERIFY(all.contains(QRegularExpression(QStringLiteral("SP-20\\s+B8\\s+30"))));
}

QTEST_MAIN(tst_Reports)
#include "tst_reports.moc"
