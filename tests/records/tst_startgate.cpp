// Start's gate on a real SQLite records database: the part number's
// approved program, a program the part does not allow, and the station's
// verification under the lab's warn and block policies.
#include "records/programlibrarystore.h"
#include "records/recordsdatabase.h"
#include "records/verificationstore.h"
#include "recording/startgate.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
const char Station[] = "bench-7";
const QDateTime Now = QDateTime(QDate(2026, 12, 9), QTime(10, 0), Qt::UTC);

// A verification of Station a number of days before Now, due a number of
// days after it (negative: overdue).
MachineVerification verification(int daysAgo, int dueInDays, VerificationVerdict verdict)
{
    MachineVerification v;
    v.station = QLatin1String(Station);
    v.performedAt = Now.addDays(-daysAgo);
    v.nextDue = Now.date().addDays(dueInDays);
    v.asFoundVerdict = verdict;
    v.asFound.force << VerificationPoint{100, verdict == VerificationVerdict::Pass ? 100.2 : 103.0};
    v.source = QStringLiteral("external");
    return v;
}
} // namespace

class tst_StartGate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void partNeedsItsApprovedProgram_data();
    void partNeedsItsApprovedProgram();
    void verificationInForce_data();
    void verificationInForce();

private:
    void resetDatabase();

    QTemporaryDir m_dir;
    int m_databases = 0;
    QSqlDatabase m_db;
};

void tst_StartGate::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

// Each row its own file: verifications are never deleted.
void tst_StartGate::resetDatabase()
{
    const QString path = m_dir.filePath(QStringLiteral("records-%1.sqlite").arg(++m_databases));
    qputenv("TORVELIN_DB", QFile::encodeName(path));
    QString error;
    m_db = RecordsDatabase::forCurrentThread(&error);
    QVERIFY2(m_db.isValid(), qPrintable(error));
}

void tst_StartGate::partNeedsItsApprovedProgram_data()
{
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("chosen"); // "approved", "draft", "file"
    QTest::addColumn<bool>("blocked");
    QTest::addColumn<QString>("reason");

    QTest::newRow("its approved version") << "SP-20" << "approved" << false << "";
    QTest::newRow("scanned with its CR") << "SP-20\r" << "approved" << false << "";
    QTest::newRow("a program file") << "SP-20" << "file" << true << "Part SP-20 needs program 7 \"Valve\" version 1.";
    QTest::newRow("the draft of the next version") << "SP-20" << "draft" << true << "needs program 7";
    QTest::newRow("a part the library does not know") << "SP-99" << "file" << false << "";
    QTest::newRow("a part with only a draft") << "SP-21" << "approved" << true << "Part SP-21 has no approved program";
    QTest::newRow("no part typed") << "" << "file" << false << "";
}

void tst_StartGate::partNeedsItsApprovedProgram()
{
    QFETCH(QString, part);
    QFETCH(QString, chosen);
    QFETCH(bool, blocked);
    QFETCH(QString, reason);

    resetDatabase();
    ProgramLibraryStore library(m_db);
    TestProgram program;
    program.number = 7;
    qint64 approved = 0;
    qint64 draft = 0;
    qint64 other = 0;
    QVERIFY(library.add(program, "Valve", {"SP-20"}, &approved));
    QVERIFY(library.approve(approved));
    QVERIFY(library.edit(approved, program, "Valve", {"SP-20"}, &draft));
    program.number = 8;
    QVERIFY(library.add(program, "Seat", {"SP-21"}, &other));

    StartGate gate;
    const std::optional<ProgramVersion> forPart = gate.approvedFor(part);
    QCOMPARE(forPart ? forPart->id : 0, LibraryRules::normalisedPart(part) == "SP-20" ? approved : 0);

    LibraryChoice choice;
    if (chosen == "approved" && forPart)
        choice = {forPart->id, forPart->number, forPart->version};
    else if (chosen == "draft")
        choice = {draft, 7, 2};
    const StartGate::Decision decision = gate.check(part, choice, Station, Now);
    QCOMPARE(decision.verdict, blocked ? StartGate::Verdict::Block : StartGate::Verdict::Allowed);
    QVERIFY2(decision.reason.contains(reason), qPrintable(decision.reason));
}

void tst_StartGate::verificationInForce_data()
{
    QTest::addColumn<QString>("policy");
    QTest::addColumn<QVector<int>>("history"); // days ago, due in days, 1 pass / 0 fail; repeated
    QTest::addColumn<int>("verdict");          // StartGate::Verdict
    QTest::addColumn<QString>("state");

    const int allowed = int(StartGate::Verdict::Allowed);
    const int warn = int(StartGate::Verdict::Warn);
    const int block = int(StartGate::Verdict::Block);
    QTest::newRow("never verified") << "block" << QVector<int>{} << allowed << "not verified";
    QTest::newRow("valid") << "block" << QVector<int>{30, 335, 1} << allowed << "verified, due 2027-11-09";
    QTest::newRow("due today still holds") << "block" << QVector<int>{365, 0, 1} << allowed << "due 2026-12-09";
    QTest::newRow("overdue warns") << "warn" << QVector<int>{400, -35, 1} << warn << "overdue since 2026-11-04";
    QTest::newRow("overdue blocks") << "block" << QVector<int>{400, -35, 1} << block << "overdue";
    QTest::newRow("failed after a pass warns") << "warn" << QVector<int>{30, 335, 1, 2, 363, 0} << warn << "failed";
    QTest::newRow("failed blocks") << "block" << QVector<int>{2, 363, 0} << block << "failed";
    QTest::newRow("passed again after failing") << "block" << QVector<int>{2, 363, 0, 1, 364, 1} << allowed << "due 2027-12-08";
}

void tst_StartGate::verificationInForce()
{
    QFETCH(QString, policy);
    QFETCH(QVector<int>, history);
    QFETCH(int, verdict);
    QFETCH(QString, state);

    resetDatabase();
    VerificationStore store(m_db);
    VerificationSettings settings;
    settings.policy = *VerificationSettings::policyFromName(policy);
    QVERIFY(store.writeSettings(settings));
    qint64 latest = 0;
    for (int i = 0; i + 2 < history.size(); i += 3) {
        const MachineVerification v = verification(
            history.at(i), history.at(i + 1), history.at(i + 2) ? VerificationVerdict::Pass : VerificationVerdict::Fail);
        QVERIFY2(store.add(v, &latest), qPrintable(store.lastError()));
    }

    StartGate gate;
    const StartGate::Decision decision = gate.check(QString(), LibraryChoice(), Station, Now);
    QCOMPARE(int(decision.verdict), verdict);
    QCOMPARE(decision.verificationId, latest);
    QVERIFY2(gate.verificationText(Now).contains(state), qPrintable(gate.verificationText(Now)));
    // Another station's verifications are not this one's.
    QCOMPARE(gate.check(QString(), LibraryChoice(), "bench-8", Now).verificationId, qint64(0));
}

QTEST_GUILESS_MAIN(tst_StartGate)
#include "tst_startgate.moc"
