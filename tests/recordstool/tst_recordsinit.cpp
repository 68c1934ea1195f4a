// torvelin-records init and amend against a server that asks every login for its
// password, as a lab's does.
#include "records/recordsdatabase.h"
#include "records/teststore.h"
#include "recordstoolrun.h"
#include "support/postgrescluster.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

class tst_RecordsInit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void usage_data();
    void usage();
    void initTwiceChangesNothing();
    void wrongPasswordIsRefused();
    void reviewerAmendsFromTheCommandLine();
    void operatorReadsStatsAndExports();

private:
    PostgresCluster m_cluster{PostgresCluster::Password};
};

void tst_RecordsInit::initTestCase()
{
    QVERIFY2(m_cluster.start(), qPrintable(m_cluster.errorString()));
    QVERIFY2(m_cluster.createDatabase(QStringLiteral("lab")), qPrintable(m_cluster.errorString()));
}

void tst_RecordsInit::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("printed");   // on standard output, or error when the code is not 0

    QTest::newRow("help") << QStringList{"init", "--help"} << 0 << "torvelin-records init [options]";
    QTest::newRow("no database") << QStringList{"init"} << 2 << "--db is needed";
    QTest::newRow("amend without a reason") << QStringList{"amend", "--db", "x.sqlite", "--id", "1", "--serial", "S"}
                                            << 2 << "--reason is needed";
    QTest::newRow("amend two fields") << QStringList{"amend", "--db", "x.sqlite", "--id", "1", "--serial", "S",
                                                     "--batch", "B", "--reason", "typo"}
                                      << 2 << "one of --serial, --batch and --part";
    QTest::newRow("unreadable address") << QStringList{"init", "--db", "postgresql://"} << 2 << "neither a file path";
}

void tst_RecordsInit::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, printed);
    const RecordsToolRun run = RecordsToolRun::of(arguments);
    QCOMPARE(run.exitCode, exitCode);
    const QString &text = exitCode == 0 ? run.out : run.err;
    QVERIFY2(text.contains(printed), qPrintable(text));
}

void tst_RecordsInit::initTwiceChangesNothing()
{
    const QString url = databaseUrl(m_cluster.config(QStringLiteral("lab")));
    const RecordsToolRun first = RecordsToolRun::of({"init", "--db", url});
    QVERIFY2(first.exitCode == 0, qPrintable(first.err));
    QVERIFY2(first.out.contains(QStringLiteral("(was 0)")), qPrintable(first.out));
    QVERIFY2(first.out.contains(QStringLiteral("torvelin_operator")), qPrintable(first.out));

    const RecordsToolRun second = RecordsToolRun::of({"init", "--db", url});
    QVERIFY2(second.exitCode == 0, qPrintable(second.err));
    QVERIFY2(second.out.contains(QStringLiteral("already current")), qPrintable(second.out));
    QVERIFY2(!second.out.contains(QStringLiteral("created")), qPrintable(second.out));
}

void tst_RecordsInit::wrongPasswordIsRefused()
{
    const DatabaseConfig wrong = m_cluster.config(QStringLiteral("lab"), QLatin1String(PostgresCluster::AdminUser),
                                                  QStringLiteral("not-the-password"));
    const RecordsToolRun run = RecordsToolRun::of({"init", "--db", databaseUrl(wrong)});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("password authentication failed")), qPrintable(run.err));
}

// The reviewer's password from standard input when the address has none;
// an operator's login is refused by the server.
void tst_RecordsInit::reviewerAmendsFromTheCommandLine()
{
    const QString lab = QStringLiteral("lab");
    QVERIFY(RecordsToolRun::of({"init", "--db", databaseUrl(m_cluster.config(lab))}).exitCode == 0);
    QVERIFY2(m_cluster.execute(lab, {QStringLiteral("CREATE ROLE anna LOGIN PASSWORD 'a' IN ROLE torvelin_operator"),
                                     QStringLiteral("CREATE ROLE rita LOGIN PASSWORD 'r' IN ROLE torvelin_reviewer"),
                                     QStringLiteral("INSERT INTO tests (started_at, status, serial_number, mode, "
                                                    "distance_mode, speed, distance, force_decimals) VALUES "
                                                    "('', 'complete', 'S-1', 0, 0, 100, 10, 1)"),
                                     QStringLiteral("INSERT INTO point_results (test_id, point_no, distance, force, "
                                                    "lower, upper, verdict) VALUES (1, 1, 5, 10, 5, 15, 'pass')")}),
             qPrintable(m_cluster.errorString()));
    const QStringList amend{"amend", "--id", "1", "--serial", "S-7", "--reason", "label reads S-7", "--db"};
    const RecordsToolRun asOperator = RecordsToolRun::of(amend + QStringList{databaseUrl(m_cluster.config(lab, "anna", "a"))});
    QCOMPARE(asOperator.exitCode, 1);
    QVERIFY2(asOperator.err.contains(QStringLiteral("permission denied")), qPrintable(asOperator.err));

    const RecordsToolRun asReviewer =
        RecordsToolRun::of(amend + QStringList{databaseUrl(m_cluster.config(lab, "rita", QString()))}, "r\n");
    QVERIFY2(asReviewer.exitCode == 0, qPrintable(asReviewer.err));
    QString output;
    QVERIFY(m_cluster.psql(m_cluster.config(lab),
                           QStringLiteral("SELECT serial_number || ' ' || amended || ' ' || (SELECT reason FROM "
                                          "audit_log WHERE table_name = 'tests' ORDER BY id DESC LIMIT 1) FROM tests"),
                           &output));
    QCOMPARE(output.section(QLatin1Char('\n'), 2, 2).trimmed(), QStringLiteral("S-7 1 label reads S-7"));

    // Its results follow a new part number, on the trail with the reason.
    const RecordsToolRun part = RecordsToolRun::of({"amend", "--id", "1", "--part", "SP-9", "--reason", "drawing rev B",
                                                    "--db", databaseUrl(m_cluster.config(lab, "rita", QString()))},
                                                   "r\n");
    QVERIFY2(part.exitCode == 0, qPrintable(part.err));
    QVERIFY(m_cluster.psql(m_cluster.config(lab),
                           QStringLiteral("SELECT r.part_number || ' ' || a.reason FROM point_results r JOIN audit_log a "
                                          "ON a.table_name = 'point_results' AND a.action = 'update' WHERE r.test_id = 1"),
                           &output));
    QCOMPARE(output.section(QLatin1Char('\n'), 2, 2).trimmed(), QStringLiteral("SP-9 drawing rev B"));
}

// The reading verbs open the database as a station does: a login that may
// only record and read gets the figures and the files.
void tst_RecordsInit::operatorReadsStatsAndExports()
{
    const QString lab = QStringLiteral("lab");
    QVERIFY(RecordsToolRun::of({"init", "--db", databaseUrl(m_cluster.config(lab))}).exitCode == 0);
    QVERIFY2(m_cluster.execute(lab, {QStringLiteral("CREATE ROLE olga LOGIN PASSWORD 'o' IN ROLE torvelin_operator")}),
             qPrintable(m_cluster.errorString()));
    const DatabaseConfig olga = m_cluster.config(lab, QStringLiteral("olga"), QStringLiteral("o"));
    QString error;
    QVERIFY2(RecordsDatabase::open(olga, QStringLiteral("olga"), &error), qPrintable(error));
    {
        TestStore store(QSqlDatabase::database(QStringLiteral("olga"), false));
        for (const double force : {10.0, 12.0}) {
            TestHeader header = TestHeader::startingNow();
            header.identity = {QString(), QStringLiteral("SP-OP"), QStringLiteral("B1"), QString::number(force)};
            EvaluationRecord evaluation;
            evaluation.judged = true;
            evaluation.programNumber = 1;
            evaluation.verdict = Verdict::Pass;
            evaluation.points = {{1, 5, force, 5, 15, Verdict::Pass}};
            qint64 id = 0;
            QVERIFY2(store.insertTest(header, &id) && store.finishTest(id, header.startedAt.addSecs(1), evaluation),
                     qPrintable(store.lastError()));
        }
    }
    RecordsDatabase::close(QStringLiteral("olga"));

    const QString url = databaseUrl(olga);
    const RecordsToolRun stats = RecordsToolRun::of({"stats", "--db", url, "--part", "SP-OP", "--point", "1", "--json"});
    QVERIFY2(stats.exitCode == 0, qPrintable(stats.err));
    QCOMPARE(QJsonDocument::fromJson(stats.out.toUtf8()).object().value(QStringLiteral("n")).toInt(), 2);

    QTemporaryDir folder;
    for (const QString &format : {QStringLiteral("csv"), QStringLiteral("dfq")}) {
        const QString file = folder.filePath(QStringLiteral("sp-op.") + format);
        const RecordsToolRun run =
            RecordsToolRun::of({"export", "--db", url, "--part", "SP-OP", "--format", format, "--out", file});
        QVERIFY2(run.exitCode == 0, qPrintable(format + QLatin1Char(' ') + run.err));
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY2(written.readAll().contains("12"), qPrintable(format));
    }
}

QTEST_GUILESS_MAIN(tst_RecordsInit)
#include "tst_recordsinit.moc"
