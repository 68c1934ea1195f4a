// torvelin-records as a quality engineer runs it: the real executable on a
// real database, its exit status, its files and its messages.
#include "records/recordqueries.h"
#include "records/resultscsv.h"
#include "records/recordsdatabase.h"
#include "records/teststore.h"
#include "support/dfqreader.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char Connection[] = "tst_recordstool";
const char Part[] = "SP-20";

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

class tst_RecordsTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void usage_data();
    void usage();
    void dfqReadsBackAsTheDatabaseHoldsIt();
    void csvIsTheHistoryWindows();
    void encodingIsChosen();

private:
    Run run(const QStringList &arguments);
    qint64 add(const QDateTime &startedAt, const QString &operatorName, const QString &serial,
               std::optional<double> f1, std::optional<double> f2);
    QSqlDatabase db() const { return QSqlDatabase::database(Connection, false); }

    QTemporaryDir m_dir;
    QString m_path;
};

Run tst_RecordsTool::run(const QStringList &arguments)
{
    QProcess tool;
    tool.setWorkingDirectory(m_dir.path());
    tool.start(qEnvironmentVariable("TORVELIN_RECORDS"), arguments);
    Run result;
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = tool.exitCode();
    result.out = tool.readAllStandardOutput();
    result.err = tool.readAllStandardError();
    return result;
}

// A judged test of the part: points 1 and 2 (at 5 and 10 mm) and the rate
// between them; a missing force is a point not reached.
qint64 tst_RecordsTool::add(const QDateTime &startedAt, const QString &operatorName,
                            const QString &serial, std::optional<double> f1,
                            std::optional<double> f2)
{
    TestStore store(db());
    TestHeader header;
    header.startedAt = startedAt;
    header.identity = {operatorName, QLatin1String(Part), QStringLiteral("B7"), serial};
    header.station = QStringLiteral("bench-1");
    header.forceDecimals = 2;
    qint64 id = 0;
    if (!store.insertTest(header, &id))
        return -1;
    EvaluationRecord e;
    e.judged = true;
    e.programNumber = 3;
    e.programJson = QStringLiteral(R"({"number": 3, "points": [
        {"distance": 5, "force": 10, "lower": 9, "upper": 11},
        {"distance": 10, "force": 20, "lower": 19, "upper": 21}], "spring": {"rate": 2}})");
    e.verdict = Verdict::Pass;
    auto verdict = [](std::optional<double> f) {
        return f ? Verdict::Pass : Verdict::NotReached;
    };
    e.points = {{1, 5, f1, 9, 11, verdict(f1)}, {2, 10, f2, 19, 21, verdict(f2)}};
    std::optional<double> rate;
    if (f1 && f2)
        rate = (*f2 - *f1) / 5;
    e.rates = {{1, 2, rate}};
    return store.finishTest(id, startedAt.addSecs(12), e) ? id : -1;
}

void tst_RecordsTool::initTestCase()
{
    QVERIFY(QFileInfo(qEnvironmentVariable("TORVELIN_RECORDS")).isExecutable());
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath("records.sqlite");
    DatabaseConfig config;
    config.sqlitePath = m_path;
    QString error;
    QVERIFY2(RecordsDatabase::open(config, Connection, &error), qPrintable(error));
    const QDateTime first(QDate(2026, 12, 8), QTime(9, 0), Qt::LocalTime);
    QVERIFY(add(first, "Wang", "S-1", 10.0, 20.0) > 0);
    QVERIFY(add(first.addSecs(60), "Wang", "S-2", 10.25, std::nullopt) > 0);
    QVERIFY(add(first.addDays(1), "Li", "S-3", 9.75, 19.5) > 0);
}

void tst_RecordsTool::cleanupTestCase()
{
    RecordsDatabase::close(Connection);
}

void tst_RecordsTool::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // on standard output for 0, error otherwise

    QTest::newRow("help lists the verbs") << QStringList{"--help"} << 0 << "export";
    QTest::newRow("a verb's help") << QStringList{"export", "--help"} << 0
                                   << "torvelin-records export [options]";
    QTest::newRow("no verb") << QStringList{} << 2 << "VERB";
    QTest::newRow("unknown verb") << QStringList{"frobnicate"} << 2 << "frobnicate";
    QTest::newRow("unknown option") << QStringList{"export", "--frobnicate"} << 2 << "frobnicate";
    QTest::newRow("missing options") << QStringList{"export", "--format", "dfq"} << 2
                                     << "--db is needed";
    QTest::newRow("no such format")
        << QStringList{"export", "--db", "records.sqlite", "--part", Part, "--format", "xls",
                       "--out", "x"}
        << 2 << "csv or dfq";
    QTest::newRow("not a date")
        << QStringList{"export", "--db", "records.sqlite", "--part", Part, "--format", "csv",
                       "--out", "x", "--from", "8.12.2026"}
        << 2 << "yyyy-MM-dd";
    // A mistyped path is refused, not made into an empty database.
    QTest::newRow("no such database")
        << QStringList{"export", "--db", "typo.sqlite", "--part", Part, "--format", "csv",
                       "--out", "x.csv"}
        << 1 << "typo.sqlite";
    QTest::newRow("unwritable file")
        << QStringList{"export", "--db", "records.sqlite", "--part", Part, "--format", "csv",
                       "--out", "no/such/folder/x.csv"}
        << 1 << "no/such/folder/x.csv";
}

void tst_RecordsTool::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Run result = run(arguments);
    QCOMPARE(result.exitCode, exitCode);
    const QByteArray &where = exitCode == 0 ? result.out : result.err;
    QVERIFY2(where.contains(message.toUtf8()), where.constData());
    QVERIFY(!QFile::exists(m_dir.filePath("typo.sqlite")));
}

void tst_RecordsTool::dfqReadsBackAsTheDatabaseHoldsIt()
{
    const Run result = run({"export", "--db", "records.sqlite", "--format", "dfq", "--part", Part,
                            "--out", "part.dfq"});
    QVERIFY2(result.exitCode == 0, result.err.constData());
    QFile file(m_dir.filePath("part.dfq"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    DfqFile dfq;
    QString error;
    QVERIFY2(readDfq(file.readAll(), &dfq, &error), qPrintable(error));
    QCOMPARE(dfq.partFields.value("K1001"), QString(Part));
    QCOMPARE(dfq.partFields.value("K0100"), "3");

    // Each characteristic's values, in test order, against the records.
    const QStringList statements = {
        "SELECT r.force, t.serial_number, t.\"operator\", t.started_at FROM point_results r "
        "JOIN tests t ON t.id = r.test_id WHERE r.point_no = 1 AND r.force IS NOT NULL "
        "ORDER BY t.started_at, t.id",
        "SELECT r.force, t.serial_number, t.\"operator\", t.started_at FROM point_results r "
        "JOIN tests t ON t.id = r.test_id WHERE r.point_no = 2 AND r.force IS NOT NULL "
        "ORDER BY t.started_at, t.id",
        "SELECT r.rate, t.serial_number, t.\"operator\", t.started_at FROM test_rates r "
        "JOIN tests t ON t.id = r.test_id WHERE r.rate IS NOT NULL ORDER BY t.started_at, t.id",
    };
    for (int i = 1; i <= statements.size(); ++i) {
        QSqlQuery query(db());
        QVERIFY(query.exec(statements.at(i - 1)));
        const QVector<QMap<QString, QString>> values = dfq.values.value(i);
        int row = 0;
        for (; query.next(); ++row) {
            QVERIFY(row < values.size());
            const QMap<QString, QString> &value = values.at(row);
            QCOMPARE(value.value("K0001").toDouble(), query.value(0).toDouble());
            QCOMPARE(value.value("K0014"), query.value(1).toString());
            QCOMPARE(value.value("K0008"), query.value(2).toString());
            const QDateTime started =
                QDateTime::fromString(query.value(3).toString(), Qt::ISODateWithMs).toLocalTime();
            QCOMPARE(value.value("K0004"), started.toString("dd.MM.yyyy/HH:mm:ss"));
            QCOMPARE(value.value("K0006"), "B7");
            QCOMPARE(value.value("K0012"), "bench-1");
        }
        QCOMPARE(row, values.size());
    }
    QCOMPARE(dfq.values.value(2).size(), 2); // S-2 never reached point 2
    QCOMPARE(dfq.characteristics.value(1).value("K2110"), "9.00");
    QCOMPARE(dfq.characteristics.value(3).value("K2001"), "R1-2");
}

void tst_RecordsTool::csvIsTheHistoryWindows()
{
    const Run result = run({"export", "--db", "records.sqlite", "--format", "csv", "--part", Part,
                            "--from", "2026-12-09", "--out", "part.csv"});
    QVERIFY2(result.exitCode == 0, result.err.constData());
    HistoryFilter filter;
    filter.partNumber = Part;
    filter.setDays(QDate(2026, 12, 9), QDate());
    QVector<StoredTest> tests;
    QString error;
    QVERIFY(RecordQueries::loadTests(db(), filter, &tests, &error));
    QCOMPARE(tests.size(), 1);
    QFile file(m_dir.filePath("part.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), ResultsCsv::document(tests));
}

void tst_RecordsTool::encodingIsChosen()
{
    QVERIFY(add(QDateTime(QDate(2026, 12, 10), QTime(9, 0)), "王伟", "S-4", 10.0, 20.0) > 0);
    const QStringList arguments = {"export", "--db", "records.sqlite", "--format", "dfq",
                                   "--part", Part, "--out", "chinese.dfq"};
    const Run refused = run(arguments);
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains("K0008"), refused.err.constData());
    QVERIFY(!QFile::exists(m_dir.filePath("chinese.dfq")));
    const Run written = run(arguments + QStringList{"--encoding", "utf-8"});
    QVERIFY2(written.exitCode == 0, written.err.constData());
    QFile file(m_dir.filePath("chinese.dfq"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains(QString("K0008/1 王伟").toUtf8()));
}

QTEST_GUILESS_MAIN(tst_RecordsTool)
#include "tst_recordstool.moc"
