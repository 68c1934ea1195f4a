// torvelin-records program, verification and suspects: the real executable
// on a real SQLite database, with tests written by hand around the
// verifications.
#include "records/recordsdatabase.h"
#include "records/teststore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char Connection[] = "tst_librarytool";

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

QVector<QJsonObject> jsonLines(const QByteArray &out)
{
    QVector<QJsonObject> objects;
    for (const QByteArray &line : out.split('\n')) {
        if (!line.isEmpty())
            objects << QJsonDocument::fromJson(line).object();
    }
    return objects;
}

} // namespace

class tst_LibraryTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void programVersionsThroughTheirStates();
    void verificationFromACertificate_data();
    void verificationFromACertificate();
    void suspectsSinceTheLastPassingVerification();
    void labVerificationSettings();

private:
    Run run(const QStringList &arguments);
    void write(const QString &name, const QByteArray &contents);
    qint64 addTest(const QString &station, const QString &started, const QString &serial);

    QTemporaryDir m_dir;
};

Run tst_LibraryTool::run(const QStringList &arguments)
{
    QProcess tool;
    tool.setWorkingDirectory(m_dir.path());
    tool.start(qEnvironmentVariable("TORVELIN_RECORDS"), QStringList(arguments) << "--db" << "records.sqlite");
    Run result;
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = tool.exitCode();
    result.out = tool.readAllStandardOutput();
    result.err = tool.readAllStandardError();
    return result;
}

void tst_LibraryTool::write(const QString &name, const QByteArray &contents)
{
    QFile file(m_dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

qint64 tst_LibraryTool::addTest(const QString &station, const QString &started, const QString &serial)
{
    TestHeader header;
    header.startedAt = QDateTime::fromString(started, Qt::ISODate);
    header.identity = {QStringLiteral("Wang"), QStringLiteral("SP-20"), QStringLiteral("B7"), serial};
    header.station = station;
    qint64 id = 0;
    TestStore store(QSqlDatabase::database(Connection, false));
    return store.insertTest(header, &id) ? id : -1;
}

void tst_LibraryTool::initTestCase()
{
    QVERIFY(QFileInfo(qEnvironmentVariable("TORVELIN_RECORDS")).isExecutable());
    QVERIFY(m_dir.isValid());
    DatabaseConfig config;
    config.sqlitePath = m_dir.filePath("records.sqlite");
    QString error;
    QVERIFY2(RecordsDatabase::open(config, Connection, &error), qPrintable(error));
}

void tst_LibraryTool::programVersionsThroughTheirStates()
{
    write("valve.json", R"({"number": 7, "speed": 100, "points": [{"distance": 5, "force": 10}]})");
    const Run first = run({"program", "add", "--file", "valve.json", "--part", "SP-20", "--part", " SP-21 "});
    QVERIFY2(first.exitCode == 0, first.err.constData());
    const QByteArray firstId = first.out.trimmed();
    QCOMPARE(run({"program", "approve", "--id", firstId}).exitCode, 0);
    const Run second = run({"program", "add", "--file", "valve.json", "--part", "SP-20"});
    QVERIFY2(second.exitCode == 0, second.err.constData());
    // The second draft of one program is refused, naming the open one.
    const Run third = run({"program", "add", "--file", "valve.json", "--part", "SP-20"});
    QCOMPARE(third.exitCode, 1);
    QVERIFY2(third.err.contains("already has a draft, program 7 \"valve\" version 2"), third.err.constData());

    QCOMPARE(run({"program", "approve", "--id", second.out.trimmed()}).exitCode, 0);
    const QVector<QJsonObject> versions = jsonLines(run({"program", "list", "--part", "SP-20", "--json"}).out);
    QCOMPARE(versions.size(), 2);
    QCOMPARE(versions.at(0).value("id").toInt(), firstId.toInt());
    QCOMPARE(versions.at(0).value("state").toString(), QStringLiteral("retired"));
    QCOMPARE(versions.at(0).value("parts").toVariant().toStringList(), (QStringList{"SP-20", "SP-21"}));
    QCOMPARE(versions.at(1).value("version").toInt(), 2);
    QCOMPARE(versions.at(1).value("state").toString(), QStringLiteral("approved"));
    QCOMPARE(versions.at(1).value("number").toInt(), 7);
    // SP-21 went with version 1, which is retired: the part has no approved program now.
    QCOMPARE(jsonLines(run({"program", "list", "--part", "SP-21", "--json"}).out).size(), 1);

    QCOMPARE(run({"program", "approve", "--id", firstId}).exitCode, 1);
    QCOMPARE(run({"program", "approve", "--id", "x"}).exitCode, 2);

    // Retired, SP-20 has no approved program either; its versions stay listed.
    QCOMPARE(run({"program", "retire", "--id", second.out.trimmed()}).exitCode, 0);
    const QVector<QJsonObject> retired = jsonLines(run({"program", "list", "--part", "SP-20", "--json"}).out);
    QCOMPARE(retired.size(), 2);
    QCOMPARE(retired.at(1).value("state").toString(), QStringLiteral("retired"));
    QCOMPARE(run({"program", "retire", "--id", second.out.trimmed()}).exitCode, 1);
}

void tst_LibraryTool::labVerificationSettings()
{
    const QByteArray defaults = "permitted_error_percent=1\ninterval_months=12\npolicy=warn\n";
    QCOMPARE(run({"verification", "settings"}).out, defaults);
    const Run set = run({"verification", "settings", "--permitted-error", "0.5", "--policy", "block"});
    QVERIFY2(set.exitCode == 0, set.err.constData());
    const QByteArray changed = "permitted_error_percent=0.5\ninterval_months=12\npolicy=block\n";
    QCOMPARE(set.out, changed);
    QCOMPARE(run({"verification", "settings", "--policy", "stop"}).exitCode, 2);
    QCOMPARE(run({"verification", "settings", "--interval-months", "0"}).exitCode, 1);
    // An infinite permitted error would pass every verification.
    QCOMPARE(run({"verification", "settings", "--permitted-error", "inf"}).exitCode, 2);
    // What was refused changed nothing.
    QCOMPARE(run({"verification", "settings"}).out, changed);
}

void tst_LibraryTool::verificationFromACertificate_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("points"); // empty: no --file
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected"); // next due when stored, else the reason

    const QByteArray within = R"({"reference": {"name": "Load cell", "certificate": "C-1", "due": "2027-06-01"},
        "as_found": {"force": [{"reference": 100, "indicated": 100.5}, {"reference": 500, "indicated": 504}]}})";
    QTest::newRow("points and verdict agree") << QStringList{"--result", "pass"} << within << 0 << "2026-12-01";
    QTest::newRow("a due date of its own") << QStringList{"--result", "pass", "--next-due", "2027-06-30"}
                                           << QByteArray() << 0 << "2027-06-30";
    QTest::newRow("a verdict against its points") << QStringList{"--result", "fail"} << within << 1
                                                  << "are all within ±1 %";
    QTest::newRow("a reference out of its own calibration")
        << QStringList{"--result", "pass"}
        << QByteArray(R"({"reference": {"name": "Load cell", "due": "2025-06-01"}})") << 1
        << "ran out on 2025-06-01";
    QTest::newRow("no such verdict") << QStringList{"--result", "ok"} << QByteArray() << 2 << "pass or fail";
}

void tst_LibraryTool::verificationFromACertificate()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, points);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    QStringList arguments{"verification", "add", "--station", "bench-9", "--at", "2025-12-01T09:00:00Z"};
    if (!points.isEmpty()) {
        write("points.json", points);
        arguments << "--file" << "points.json";
    }
    const Run result = run(arguments + options);
    QCOMPARE(result.exitCode, exitCode);
    if (exitCode != 0) {
        QVERIFY2(result.err.contains(expected.toUtf8()), result.err.constData());
        return;
    }
    const qint64 id = result.out.trimmed().toLongLong();
    const QVector<QJsonObject> listed = jsonLines(run({"verification", "list", "--station", "bench-9", "--json"}).out);
    const auto stored = std::find_if(listed.begin(), listed.end(),
                                     [id](const QJsonObject &o) { return o.value("id").toVariant().toLongLong() == id; });
    QVERIFY(stored != listed.end());
    QCOMPARE(stored->value("next_due").toString(), expected);
    QCOMPARE(stored->value("source").toString(), QStringLiteral("external"));
    if (!points.isEmpty())
        QCOMPARE(stored->value("as_found").toObject().value("force").toArray().at(1).toObject().value("error_percent").toDouble(), 0.8);
}

void tst_LibraryTool::suspectsSinceTheLastPassingVerification()
{
    // bench-2 is another station.
    QVERIFY(addTest("bench-1", "2026-01-10T08:00:00.000Z", "before") > 0);
    QVERIFY(run({"verification", "add", "--station", "bench-1", "--at", "2026-02-01T08:00:00Z", "--result", "pass"}).exitCode == 0);
    const qint64 s1 = addTest("bench-1", "2026-03-01T08:00:00.000Z", "S-1");
    const qint64 s2 = addTest("bench-1", "2026-04-01T08:00:00.000Z", "S-2");
    QVERIFY(addTest("bench-2", "2026-04-02T08:00:00.000Z", "other") > 0);
    QVERIFY(run({"verification", "add", "--station", "bench-1", "--at", "2026-05-01T08:00:00Z", "--result", "fail"}).exitCode == 0);
    // Tested on a failed machine: suspect too, until it passes again.
    const qint64 s3 = addTest("bench-1", "2026-05-02T08:00:00.000Z", "S-3");
    QVERIFY(run({"verification", "add", "--station", "bench-1", "--at", "2026-05-03T08:00:00Z", "--result", "pass"}).exitCode == 0);
    QVERIFY(addTest("bench-1", "2026-05-04T08:00:00.000Z", "after") > 0);

    const Run result = run({"suspects", "--station", "bench-1", "--json"});
    QVERIFY2(result.exitCode == 0, result.err.constData());
    const QVector<QJsonObject> suspects = jsonLines(result.out);
    QCOMPARE(suspects.size(), 3);
    const qint64 ids[] = {s1, s2, s3};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(suspects.at(i).value("id").toVariant().toLongLong(), ids[i]);
    QCOMPARE(suspects.at(0).value("started_at").toString(), QStringLiteral("2026-03-01T08:00:00.000Z"));
    QCOMPARE(suspects.at(0).value("part_number").toString(), QStringLiteral("SP-20"));
    QCOMPARE(suspects.at(0).value("batch").toString(), QStringLiteral("B7"));
    QCOMPARE(suspects.at(2).value("serial_number").toString(), QStringLiteral("S-3"));
    QVERIFY(run({"suspects", "--station", "bench-2", "--json"}).out.isEmpty());
    // A mistyped verification is a usage error, not "verification 0 did not fail".
    QCOMPARE(run({"suspects", "--station", "bench-1", "--verification", "7x"}).exitCode, 2);
}

QTEST_GUILESS_MAIN(tst_LibraryTool)
#include "tst_librarytool.moc"
