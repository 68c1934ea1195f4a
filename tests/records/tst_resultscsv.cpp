// The CSV export of a filter's results.
#include "records/resultscsv.h"

#include <QtTest>

class tst_ResultsCsv : public QObject
{
    Q_OBJECT

private slots:
    void field_data();
    void field();
    void document();
};

void tst_ResultsCsv::field_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain") << "SP-20" << "SP-20";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("comma") << "B7,2" << "\"B7,2\"";
    QTest::newRow("quote doubled") << "5\" spring" << "\"5\"\" spring\"";
    QTest::newRow("line break") << "a\nb" << "\"a\nb\"";
    QTest::newRow("carriage return") << "a\rb" << "\"a\rb\"";
    QTest::newRow("chinese") << "张伟" << "张伟";
}

void tst_ResultsCsv::field()
{
    QFETCH(QString, text);
    QTEST(Csv::field(text), "written");
}

// One judged test with a point not reached and one unjudged test with a
// formula-like operator name: the whole file, byte for byte.
void tst_ResultsCsv::document()
{
    StoredTest judged;
    judged.id = 2;
    judged.header.startedAt = QDateTime(QDate(2026, 12, 8), QTime(9, 5, 1, 250), Qt::UTC);
    judged.finishedAt = QDateTime(QDate(2026, 12, 8), QTime(9, 5, 13), Qt::UTC);
    judged.status = QStringLiteral("complete");
    judged.header.identity = {QStringLiteral("Li, Na"), QStringLiteral("SP-20"),
                              QStringLiteral("B7"), QStringLiteral("0042")};
    judged.header.station = QStringLiteral("bench1");
    judged.header.setting = Curve_Setting{1, 1, 50, 12.5f};
    judged.header.machineType = 500;
    judged.header.forceDecimals = 2;
    judged.evaluation.judged = true;
    judged.evaluation.programNumber = 3;
    judged.evaluation.verdict = Verdict::Fail;
    judged.evaluation.maxForce = -61.456;
    judged.evaluation.hysteresisPercent = 4.126;
    judged.evaluation.points = {{1, 2.0, -20.004, -21.0, -19.0, Verdict::Pass},
                                {2, 14.0, std::nullopt, -70.0, -60.0, Verdict::NotReached}};

    StoredTest unjudged;
    unjudged.id = 1;
    unjudged.header.startedAt = QDateTime(QDate(2026, 12, 8), QTime(9, 0), Qt::UTC);
    unjudged.status = QStringLiteral("interrupted");
    unjudged.header.identity.operatorName = QStringLiteral("=HYPERLINK(1)");
    unjudged.header.forceDecimals = 3;

    const QByteArray csv = ResultsCsv::document({judged, unjudged});
    const QByteArray expected =
        "\xEF\xBB\xBF"
        "id,started_at,finished_at,status,station,operator,part_number,batch,serial_number,mode,"
        "distance_mode,speed,distance,machine_type,force_decimals,program_number,verdict,"
        "max_force,rate_fit,hysteresis_percent,p1_distance,p1_force,p1_lower,p1_upper,"
        "p1_verdict,p2_distance,p2_force,p2_lower,p2_upper,p2_verdict\r\n"
        "2,2026-12-08T09:05:01.250Z,2026-12-08T09:05:13.000Z,complete,bench1,\"Li, Na\",SP-20,"
        "B7,0042,PULL,absolute,50,12.50,500,2,3,fail,-61.46,,4.13,2.00,-20.00,-21.00,-19.00,"
        "pass,14.00,,-70.00,-60.00,not reached\r\n"
        "1,2026-12-08T09:00:00.000Z,,interrupted,,'=HYPERLINK(1),,,,PUSH,relative,100,10.00,0,"
        "3,,,,,,,,,,,,,,,\r\n";
    QCOMPARE(csv, expected);
}

QTEST_GUILESS_MAIN(tst_ResultsCsv)
#include "tst_resultscsv.moc"
