// The PDF reports, read back as text with pdftotext (poppler-utils).
#include "history/reports.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString pdfText(const QString &path)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!pdftotext.waitForFinished() || pdftotext.exitCode() != 0)
        return QString();
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
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
    test.evaluation.verdict = QStringLiteral("fail");
    test.evaluation.points = {{1, 4.0, 20.0, 19.0, 21.0, QStringLiteral("pass")},
                              {2, 8.0, 40.0, 41.0, 43.0, QStringLiteral("fail")}};
    return test;
}

} // namespace

class tst_Reports : public QObject
{
    Q_OBJECT

private slots:
    void testReportNamesTheSpringAndItsVerdict();
    void batchReportHoldsItsFigures();
    void unwritableFileIsReported();

private:
    QTemporaryDir dir;
};

void tst_Reports::testReportNamesTheSpringAndItsVerdict()
{
    const QString path = dir.filePath(QStringLiteral("test.pdf"));
    QString error;
    QVERIFY2(Reports::writeTestPdf(path, failedTest(), &error), qPrintable(error));
    const QString text = pdfText(path);
    for (const char *expected : {"4711", "Zhang Wei", "SP-20", "SN-0042", "FAIL", "41.00"})
        QVERIFY2(text.contains(QLatin1String(expected)), expected);
    // The operator's text is shown as typed, never read as markup.
    QVERIFY(text.contains(QLatin1String("B7-<b>")));
}

void tst_Reports::batchReportHoldsItsFigures()
{
    RecordQueries::Batch batch;
    batch.filter.batch = QStringLiteral("B7");
    batch.counts = {3, 2, 1};
    batch.points = BatchStatistics::summarise({{1, 10.0, 6, 18}, {1, 12.0, 6, 18}, {1, 14.0, 6, 18}});
    batch.forces[1] = {10, 12, 14};
    const QString path = dir.filePath(QStringLiteral("batch.pdf"));
    QString error;
    QVERIFY2(Reports::writeBatchPdf(path, batch, &error), qPrintable(error));
    const QString text = pdfText(path);
    QVERIFY(text.contains(QLatin1String("3 tests")));
    QVERIFY(text.contains(QLatin1String("Cpk")));
    QVERIFY(text.contains(QLatin1String("12.000")));
}

void tst_Reports::unwritableFileIsReported()
{
    QString error;
    QVERIFY(!Reports::writeTestPdf(dir.filePath(QStringLiteral("no/such/folder/test.pdf")),
                                   failedTest(), &error));
    QVERIFY(!error.isEmpty());
}

QTEST_MAIN(tst_Reports)
#include "tst_reports.moc"
