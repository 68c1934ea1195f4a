// The Q-DAS file: its exact lines, the encodings, and the records mapped
// into it, read back field by field.
#include "support/dfqreader.h"
#include "evaluation/programfile.h"
#include "qdas/dfqexport.h"
#include "qdas/dfqwriter.h"

#include <QTextCodec>
#include <QtTest>

using namespace Dfq;

namespace {

QDateTime localTime(int day, int hour, int minute, int second)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute, second), Qt::LocalTime).toUTC();
}

Document smallDocument()
{
    Document d;
    d.partNumber = QStringLiteral("SP-20 Müller");
    d.partName = QStringLiteral("Program 3");
    Characteristic force;
    force.number = QStringLiteral("F1");
    force.name = QStringLiteral("F1 at 5.00 mm");
    force.measuredQuantity = QuantityForce;
    force.nominal = 10;
    force.lower = 9.5;
    force.upper = 10.5;
    force.unit = QStringLiteral("N");
    force.decimals = 2;
    Characteristic rate;
    rate.number = QStringLiteral("R1-2");
    rate.name = QStringLiteral("R1-2 from 5.00 to 10.00 mm");
    rate.measuredQuantity = QuantitySpringRate;
    rate.unit = QStringLiteral("N/mm");
    rate.decimals = 3;
    d.characteristics = {force, rate};
    Measurement first{1, localTime(8, 16, 30, 5), QStringLiteral("B7"), QStringLiteral("Wang"),
                      QStringLiteral("bench-1"), QStringLiteral("S-001"), {10.004, 2.5}};
    Measurement second{2, localTime(9, 7, 0, 0), QStringLiteral("B7"), QStringLiteral("Wang"),
                       QStringLiteral("bench-1"), QStringLiteral("S-002"), {std::nullopt, 2.25}};
    d.measurements = {first, second};
    return d;
}

TestPoint point(double distance, double force, double lower, double upper)
{
    TestPoint p;
    p.distance = distance;
    p.force = force;
    p.lower = lower;
    p.upper = upper;
    return p;
}

StoredTest judgedTest(qint64 id, const QDateTime &startedAt, const QString &serial,
                      std::optional<double> f1, std::optional<double> f2)
{
    TestProgram program;
    program.number = 3;
    program.points = {point(5, 10, 9.5, 10.5), point(10, 20, 19, 21)};
    program.spring.rate = 2;
    StoredTest test;
    test.id = id;
    test.header.startedAt = startedAt;
    test.header.identity = {QStringLiteral("Wang"), QStringLiteral("SP-20"), QStringLiteral("B7"),
                            serial};
    test.header.station = QStringLiteral("bench-1");
    test.header.forceDecimals = 2;
    EvaluationRecord &e = test.evaluation;
    e.judged = true;
    e.programNumber = program.number;
    e.programJson = QString::fromUtf8(ProgramFile::toJson(program));
    e.points = {{1, 5, f1, 9.5, 10.5, Verdict::NotReached}, {2, 10, f2, 19, 21, Verdict::NotReached}};
    std::optional<double> rate;
    if (f1 && f2)
        rate = (*f2 - *f1) / 5;
    e.rates = {{1, 2, rate}};
    return test;
}

} // namespace

class tst_Dfq : public QObject
{
    Q_OBJECT

private slots:
    void writesKFieldLines();
    void refusesTextTheEncodingCannotHold_data();
    void refusesTextTheEncodingCannotHold();
    void recordsReadBackFieldByField();
    void refusesTestsOfDifferentPrograms();
};

void tst_Dfq::writesKFieldLines()
{
    const QStringList lines = {
        "K0100 2", "K1001 SP-20 Müller", "K1002 Program 3",
        "K2001/1 F1", "K2002/1 F1 at 5.00 mm", "K2009/1 282", "K2101/1 10.00", "K2110/1 9.50",
        "K2111/1 10.50", "K2142/1 N", "K2022/1 2",
        // No nominal or limits: no K2101, K2110, K2111.
        "K2001/2 R1-2", "K2002/2 R1-2 from 5.00 to 10.00 mm", "K2009/2 220", "K2142/2 N/mm",
        "K2022/2 3",
        "K0001/1 10.00", "K0004/1 08.12.2026/16:30:05", "K0006/1 B7", "K0008/1 Wang",
        "K0012/1 bench-1", "K0014/1 S-001",
        "K0001/2 2.500", "K0004/2 08.12.2026/16:30:05", "K0006/2 B7", "K0008/2 Wang",
        "K0012/2 bench-1", "K0014/2 S-001",
        // The second test never reached point 1: it has a rate only.
        "K0001/2 2.250", "K0004/2 09.12.2026/07:00:00", "K0006/2 B7", "K0008/2 Wang",
        "K0012/2 bench-1", "K0014/2 S-002",
    };
    QByteArray bytes;
    QString error;
    QVERIFY2(DfqWriter::write(smallDocument(), Encoding::Windows1252, &bytes, &error),
             qPrintable(error));
    QCOMPARE(bytes, QTextCodec::codecForName("Windows-1252")->fromUnicode(lines.join("\r\n") + "\r\n"));
    QVERIFY(bytes.contains("M\xFCller"));
}

void tst_Dfq::refusesTextTheEncodingCannotHold_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("utf8");
    // Empty: written; otherwise what the refusal names.
    QTest::addColumn<QStringList>("named");

    QTest::newRow("Chinese operator, Windows-1252")
        << "operator" << "王伟" << false << QStringList{"Test 2", "K0008", "operator", "王伟"};
    QTest::newRow("Chinese operator, UTF-8") << "operator" << "王伟" << true << QStringList{};
    QTest::newRow("euro sign, Windows-1252") << "part" << "SP-20 €" << false << QStringList{};
    QTest::newRow("ő, Windows-1252") << "part" << "Kőszeg" << false
                                     << QStringList{"K1001", "part number", "Windows-1252"};
    QTest::newRow("line break in a batch") << "batch" << "B\r\n7" << true
                                           << QStringList{"Test 2", "K0006", "batch"};
    QTest::newRow("tab in a characteristic name") << "name" << "F1\tat" << true
                                                  << QStringList{"K2002/1"};
}

void tst_Dfq::refusesTextTheEncodingCannotHold()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(bool, utf8);
    QFETCH(QStringList, named);
    Document d = smallDocument();
    if (field == "operator")
        d.measurements[1].operatorName = text;
    else if (field == "batch")
        d.measurements[1].batch = text;
    else if (field == "part")
        d.partNumber = text;
    else
        d.characteristics[0].name = text;

    QByteArray bytes = "untouched";
    QString error;
    const bool written = DfqWriter::write(d, utf8 ? Encoding::Utf8 : Encoding::Windows1252, &bytes,
                                       &error);
    QCOMPARE(written, named.isEmpty());
    if (!written) {
        QCOMPARE(bytes, QByteArray("untouched"));
        for (const QString &word : named)
            QVERIFY2(error.contains(word), qPrintable(error));
        return;
    }
    DfqFile file;
    QVERIFY2(readDfq(bytes, &file, &error), qPrintable(error));
    QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), utf8);
    if (field == "operator")
        QCOMPARE(file.values[2].last().value("K0008"), text);
    else
        QCOMPARE(file.partFields.value("K1001"), text);
}

void tst_Dfq::recordsReadBackFieldByField()
{
    // Newest first, as the History window lists them; the second test did
    // not reach point 2 and so has no rate either.
    const QVector<StoredTest> tests = {
        judgedTest(13, localTime(10, 9, 0, 0), "S-013", 10.1, 20.4),
        judgedTest(12, localTime(9, 9, 0, 0), "S-012", 9.9, std::nullopt),
        judgedTest(11, localTime(8, 9, 0, 0), "S-011", 10.0, 20.0),
    };
    Document d;
    QString error;
    QVERIFY2(DfqExport::document("SP-20", tests, &d, &error), qPrintable(error));
    QByteArray bytes;
    QVERIFY2(DfqWriter::write(d, Encoding::Windows1252, &bytes, &error), qPrintable(error));
    DfqFile file;
    QVERIFY2(readDfq(bytes, &file, &error), qPrintable(error));

    QCOMPARE(file.partFields.value("K0100"), "3");
    QCOMPARE(file.partFields.value("K1001"), "SP-20");
    QCOMPARE(file.partFields.value("K1002"), "Program 3");
    const QMap<QString, QString> f2 = file.characteristics.value(2);
    QCOMPARE(f2.value("K2001"), "F2");
    QCOMPARE(f2.value("K2002"), "F2 at 10.00 mm");
    QCOMPARE(f2.value("K2009"), "282");
    QCOMPARE(f2.value("K2101"), "20.00");
    QCOMPARE(f2.value("K2110"), "19.00");
    QCOMPARE(f2.value("K2111"), "21.00");
    QCOMPARE(f2.value("K2142"), "N");
    QCOMPARE(f2.value("K2022"), "2");
    const QMap<QString, QString> rate = file.characteristics.value(3);
    QCOMPARE(rate.value("K2001"), "R1-2");
    QCOMPARE(rate.value("K2002"), "R1-2 from 5.00 to 10.00 mm");
    QCOMPARE(rate.value("K2009"), "220");
    QCOMPARE(rate.value("K2101"), "2.00");
    QVERIFY(!rate.contains("K2110") && !rate.contains("K2111"));
    QCOMPARE(rate.value("K2142"), "N/mm");

    // Oldest first; a point not reached leaves its test out.
    auto column = [&](int characteristic, const QString &key) {
        QStringList texts;
        for (const auto &value : file.values.value(characteristic))
            texts << value.value(key);
        return texts;
    };
    QCOMPARE(column(1, "K0001"), (QStringList{"10.00", "9.90", "10.10"}));
    QCOMPARE(column(1, "K0014"), (QStringList{"S-011", "S-012", "S-013"}));
    QCOMPARE(column(1, "K0004"),
             (QStringList{"08.12.2026/09:00:00", "09.12.2026/09:00:00", "10.12.2026/09:00:00"}));
    QCOMPARE(column(2, "K0001"), (QStringList{"20.00", "20.40"}));
    QCOMPARE(column(2, "K0014"), (QStringList{"S-011", "S-013"}));
    QCOMPARE(column(3, "K0001"), (QStringList{"2.00", "2.06"}));
    QCOMPARE(column(3, "K0006"), (QStringList{"B7", "B7"}));
    QCOMPARE(column(3, "K0008"), (QStringList{"Wang", "Wang"}));
    QCOMPARE(column(3, "K0012"), (QStringList{"bench-1", "bench-1"}));
}

void tst_Dfq::refusesTestsOfDifferentPrograms()
{
    QVector<StoredTest> tests = {judgedTest(11, localTime(8, 9, 0, 0), "S-011", 10.0, 20.0),
                                 judgedTest(13, localTime(10, 9, 0, 0), "S-013", 10.1, 20.4)};
    tests[1].evaluation.points[1].upper = 22;
    Document d;
    QString error;
    QVERIFY(!DfqExport::document("SP-20", tests, &d, &error));
    QVERIFY2(error.contains("11 and 13") && error.contains("test point 2"), qPrintable(error));
}

QTEST_GUILESS_MAIN(tst_Dfq)
#include "tst_dfq.moc"
