// The program library and the verifications in both engines: what the
// database itself refuses whatever a client sends, and on PostgreSQL the
// server's own stamps of who and when.
#include "evaluation/programfile.h"
#include "records/programlibrarystore.h"
#include "records/recordsdatabase.h"
#include "records/verificationstore.h"
#include "support/postgrescluster.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const char Connection[] = "tst_librarystore";
} // namespace

class tst_LibraryStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void recordsStayAsTheyWere_data();
    void recordsStayAsTheyWere();
    void libraryIsTheEngineers();

private:
    PostgresCluster m_cluster;
    QTemporaryDir m_dir;
};

void tst_LibraryStore::initTestCase()
{
    QVERIFY2(m_cluster.start(), qPrintable(m_cluster.errorString()));
    QVERIFY2(m_cluster.createRecordsDatabase(QStringLiteral("library")), qPrintable(m_cluster.errorString()));
}

void tst_LibraryStore::cleanup()
{
    RecordsDatabase::close(Connection);
}

void tst_LibraryStore::recordsStayAsTheyWere_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::newRow("SQLite") << false;
    QTest::newRow("PostgreSQL") << true;
}

void tst_LibraryStore::recordsStayAsTheyWere()
{
    QFETCH(bool, postgres);
    DatabaseConfig config = m_cluster.config(QStringLiteral("library"));
    if (!postgres) {
        config = DatabaseConfig();
        config.sqlitePath = m_dir.filePath(QStringLiteral("library.sqlite"));
    }
    QString error;
    QVERIFY2(RecordsDatabase::open(config, Connection, &error), qPrintable(error));
    QSqlDatabase db = QSqlDatabase::database(Connection, false);
    ProgramLibraryStore library(db);
    TestProgram program;
    program.number = 7;
    qint64 first = 0;
    qint64 second = 0;
    QVERIFY2(library.add(program, "Valve", {"SP-20"}, &first), qPrintable(library.lastError()));
    QVERIFY2(library.approve(first), qPrintable(library.lastError()));
    QVERIFY(library.add(program, "Valve", {"SP-20"}, &second));

    MachineVerification v;
    v.station = QStringLiteral("bench-1");
    v.performedAt = QDateTime::currentDateTimeUtc();
    v.nextDue = QDate::currentDate().addMonths(12);
    v.asFoundVerdict = VerificationVerdict::Pass;
    v.asFound.force << VerificationPoint{100, 100.2};
    qint64 verification = 0;
    VerificationStore verifications(db);
    QVERIFY2(verifications.add(v, &verification), qPrintable(verifications.lastError()));

    const QString approvedId = QString::number(first);
    const QStringList refused{
        "UPDATE programs SET program = '{}' WHERE id = " + approvedId,
        "UPDATE programs SET state = 'draft' WHERE id = " + approvedId,
        "DELETE FROM programs WHERE id = " + QString::number(second),
        "INSERT INTO program_parts (program_id, part_number) VALUES (" + approvedId + ", 'SP-99')",
        "DELETE FROM program_parts WHERE program_id = " + approvedId,
        // A second approved version of one program, past the rules.
        "UPDATE programs SET state = 'approved' WHERE id = " + QString::number(second),
        "UPDATE verifications SET as_found = 'fail'",
        "DELETE FROM verification_points",
        "DELETE FROM verifications",
    };
    for (const QString &statement : refused) {
        QSqlQuery query(db);
        QVERIFY2(!query.exec(statement), qPrintable(statement));
    }
    QCOMPARE(library.read(first)->programJson, ProgramFile::toJson(program));

    if (postgres) {
        // Who and when are the server's, not what the client wrote.
        QSqlQuery forged(db);
        QVERIFY(forged.exec("INSERT INTO programs (number, version, state, program, created_by, created_at) "
                            "VALUES (8, 1, 'draft', '{}', 'someone else', '1999-01-01T00:00:00.000Z') RETURNING id"));
        QVERIFY(forged.next());
        const ProgramVersion stamped = *library.read(forged.value(0).toLongLong());
        QCOMPARE(stamped.createdBy, config.user);
        QVERIFY(qAbs(stamped.createdAt.secsTo(QDateTime::currentDateTimeUtc())) < 60);
        const ProgramVersion approved = *library.read(first);
        QCOMPARE(approved.approvedBy, config.user);
        QVERIFY(approved.approvedAt.isValid());
    }
}

// On a lab's server the roles decide: an operator reads the library and
// records a verification, only an engineer adds and approves a program.
void tst_LibraryStore::libraryIsTheEngineers()
{
    QVERIFY(m_cluster.execute(QStringLiteral("library"),
                              {"CREATE ROLE anna LOGIN PASSWORD 'anna' IN ROLE torvelin_operator",
                               "CREATE ROLE erik LOGIN PASSWORD 'erik' IN ROLE torvelin_engineer"}));
    TestProgram program;
    program.number = 11;
    QString error;
    qint64 id = 0;
    {
        QVERIFY2(RecordsDatabase::open(m_cluster.config("library", "erik", "erik"), Connection, &error),
                 qPrintable(error));
        ProgramLibraryStore library(QSqlDatabase::database(Connection, false));
        QVERIFY2(library.add(program, "Brake", {"SP-40"}, &id), qPrintable(library.lastError()));
        QCOMPARE(library.read(id)->createdBy, QStringLiteral("erik"));
        RecordsDatabase::close(Connection);
    }
    QVERIFY2(RecordsDatabase::open(m_cluster.config("library", "anna", "anna"), Connection, &error),
             qPrintable(error));
    QSqlDatabase db = QSqlDatabase::database(Connection, false);
    ProgramLibraryStore library(db);
    QVector<ProgramVersion> versions;
    QVERIFY2(library.readForPart("SP-40", &versions), qPrintable(library.lastError()));
    QCOMPARE(versions.size(), 1);
    QVERIFY(!library.approve(id));
    QVERIFY(library.lastError().contains("permission denied"));
    qint64 draft = 0;
    QVERIFY(!library.add(program, "Brake", {"SP-40"}, &draft));
    QCOMPARE(library.read(id)->state, ProgramState::Draft);

    MachineVerification v;
    v.station = QStringLiteral("bench-2");
    v.performedAt = QDateTime::currentDateTimeUtc();
    v.nextDue = QDate::currentDate().addMonths(12);
    v.asFoundVerdict = VerificationVerdict::Pass;
    v.asFound.force << VerificationPoint{100, 100.2};
    VerificationStore verifications(db);
    qint64 verification = 0;
    QVERIFY2(verifications.add(v, &verification), qPrintable(verifications.lastError()));
    QVERIFY(!verifications.writeSettings(VerificationSettings()));
}

QTEST_GUILESS_MAIN(tst_LibraryStore)
#include "tst_librarystore.moc"
