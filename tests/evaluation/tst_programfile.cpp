#include "evaluation/programfile.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

class TestProgramFile : public QObject
{
    Q_OBJECT

private slots:
    void readsTheDocumentedExample();
    void writesWhatItReadsUnknownKeysIncluded();
    void refusesWhatIsNoProgram_data();
    void refusesWhatIsNoProgram();
};

void TestProgramFile::readsTheDocumentedExample()
{
    const QByteArray json = R"({"number": 1, "speed": 100,
        "points": [{"distance": 2.0, "force": 5.0, "lower": 4.5, "upper": 5.5, "tolerance_percent": 5},
                   {"distance": 4.0, "force": 10.0}],
        "spring": {"free_length": 30, "mean_diameter": 12, "wire_diameter": 1.5,
                   "effective_coils": 6.5, "rate": 2.5}})";
    TestProgram program;
    QString error;
    QVERIFY2(ProgramFile::fromJson(json, &program, &error), qPrintable(error));
    QCOMPARE(program.number, 1);
    QCOMPARE(program.speed, 100);
    QCOMPARE(program.points.size(), 2);
    QCOMPARE(program.points.at(0).upper, 5.5);
    QCOMPARE(program.points.at(0).tolerancePercent, 5.0);
    QCOMPARE(program.points.at(1).lower, 0.0); // missing reads as 0
    QCOMPARE(program.spring.effectiveCoils, 6.5);
    QCOMPARE(program.spring.rate, 2.5);
    QVERIFY(program.otherKeys.isEmpty());
}

void TestProgramFile::writesWhatItReadsUnknownKeysIncluded()
{
    const QByteArray json = R"({"number": 7, "operator": "Li", "points": [{"distance": 1,
        "force": -2, "note": "PULL"}], "spring": {"rate": 3, "material": "steel"}})";
    TestProgram program;
    QVERIFY(ProgramFile::fromJson(json, &program, nullptr));
    QCOMPARE(program.otherKeys.value("operator").toString(), QStringLiteral("Li"));

    QTemporaryDir dir;
    const QString path = dir.filePath("program.json");
    QString error;
    QVERIFY2(ProgramFile::save(path, program, &error), qPrintable(error));
    TestProgram again;
    QVERIFY2(ProgramFile::load(path, &again, &error), qPrintable(error));
    QVERIFY(again == program);
    QCOMPARE(again.points.at(0).otherKeys.value("note").toString(), QStringLiteral("PULL"));
    QCOMPARE(again.spring.otherKeys.value("material").toString(), QStringLiteral("steel"));
}

void TestProgramFile::refusesWhatIsNoProgram_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("not JSON") << QByteArray("number: 1");
    QTest::newRow("a list, not an object") << QByteArray("[1, 2]");
    QTest::newRow("text where a number belongs") << QByteArray(R"({"speed": "fast"})");
    QTest::newRow("a fraction as the program number") << QByteArray(R"({"number": 1.5})");
    QTest::newRow("text as a limit") << QByteArray(R"({"points": [{"upper": "5"}]})");
    QTest::newRow("points not a list") << QByteArray(R"({"points": {"distance": 1}})");
    QTest::newRow("a point not an object") << QByteArray(R"({"points": [3]})");
    QTest::newRow("six points")
        << QByteArray(R"({"points": [{}, {}, {}, {}, {}, {"distance": 6, "force": 1}]})");
    QTest::newRow("spring not an object") << QByteArray(R"({"spring": 4})");
}

void TestProgramFile::refusesWhatIsNoProgram()
{
    QFETCH(QByteArray, json);
    TestProgram program;
    program.number = 42;
    QString error;
    QVERIFY(!ProgramFile::fromJson(json, &program, &error));
    QVERIFY2(!error.isEmpty(), "a refused program must say why");
    QCOMPARE(program.number, 42);
}

QTEST_GUILESS_MAIN(TestProgramFile)
#include "tst_programfile.moc"
