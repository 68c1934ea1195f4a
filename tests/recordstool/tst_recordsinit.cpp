// torvelin-records init against a server that asks every login for its
// password, as a lab's does.
#include "recordstoolrun.h"
#include "support/postgrescluster.h"

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

QTEST_GUILESS_MAIN(tst_RecordsInit)
#include "tst_recordsinit.moc"
