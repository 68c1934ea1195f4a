// The library's versions and states, and which program a part number needs.
#include "programlibrary/libraryrules.h"

#include <QtTest>

namespace {

ProgramVersion version(qint64 id, int number, int v, ProgramState state, const QStringList &parts)
{
    ProgramVersion pv;
    pv.id = id;
    pv.number = number;
    pv.name = number == 7 ? QStringLiteral("Valve") : QString();
    pv.version = v;
    pv.state = state;
    pv.parts = parts;
    return pv;
}

// Program 7 went through a retired and an approved version and has a draft;
// program 9's draft would take part B from program 7; 11 has no part yet;
// 12 is new; 20 has no draft.
const QVector<ProgramVersion> Library{
    version(1, 7, 1, ProgramState::Retired, {"A"}),
    version(2, 7, 2, ProgramState::Approved, {"A", "B"}),
    version(3, 7, 3, ProgramState::Draft, {"A", "B"}),
    version(4, 9, 1, ProgramState::Approved, {"C"}),
    version(5, 9, 2, ProgramState::Draft, {"C", "B"}),
    version(6, 11, 1, ProgramState::Draft, {}),
    version(7, 12, 1, ProgramState::Draft, {"D"}),
    version(8, 20, 1, ProgramState::Retired, {"E"}),
    version(9, 20, 2, ProgramState::Approved, {"E"}),
};

// "2:retired 3:approved", or the refusal.
QString outcome(const LibraryRules::Transition &t)
{
    if (!t.allowed)
        return QStringLiteral("refused: ") + t.refusal;
    QStringList changes;
    for (const LibraryRules::StateChange &change : t.changes)
        changes << QStringLiteral("%1:%2").arg(change.id).arg(LibraryRules::stateName(change.state));
    return changes.join(' ');
}

QString outcome(const LibraryRules::DraftPlan &plan)
{
    if (!plan.allowed)
        return QStringLiteral("refused: ") + plan.refusal;
    return plan.draftId ? QStringLiteral("in place %1").arg(plan.draftId)
                        : QStringLiteral("version %1").arg(plan.newVersion);
}

} // namespace

class tst_LibraryRules : public QObject
{
    Q_OBJECT

private slots:
    void transitions_data();
    void transitions();
    void drafts_data();
    void drafts();
    void approvedFor_data();
    void approvedFor();
    void mayStart_data();
    void mayStart();
};

void tst_LibraryRules::transitions_data()
{
    QTest::addColumn<bool>("approve"); // false: retire
    QTest::addColumn<qint64>("id");
    QTest::addColumn<QString>("expected"); // the changes, or the start of the refusal

    QTest::newRow("approving retires the version before") << true << qint64(3) << "2:retired 3:approved";
    QTest::newRow("a first approval") << true << qint64(7) << "7:approved";
    QTest::newRow("approved again") << true << qint64(2) << "refused: Only a draft";
    QTest::newRow("a retired version stays retired") << true << qint64(1) << "refused: Only a draft";
    QTest::newRow("no part number") << true << qint64(6) << "refused: program 11 version 1 names no part";
    QTest::newRow("a part another program holds")
        << true << qint64(5) << "refused: Part B already has an approved program, program 7 \"Valve\" version 2";
    QTest::newRow("unknown id") << true << qint64(99) << "refused: The library has no program version 99";
    QTest::newRow("a draft abandoned") << false << qint64(3) << "3:retired";
    QTest::newRow("an approved version withdrawn") << false << qint64(2) << "2:retired";
    QTest::newRow("retired twice") << false << qint64(1) << "refused: program 7 \"Valve\" version 1 is already";
}

void tst_LibraryRules::transitions()
{
    QFETCH(bool, approve);
    QFETCH(qint64, id);
    QFETCH(QString, expected);
    const QString actual = outcome(approve ? LibraryRules::approve(Library, id) : LibraryRules::retire(Library, id));
    QVERIFY2(actual.startsWith(expected), qPrintable(actual));
}

void tst_LibraryRules::drafts_data()
{
    QTest::addColumn<qint64>("editedId"); // 0: a program added
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");

    QTest::newRow("a new program") << qint64(0) << 4 << "version 1";
    QTest::newRow("a known program added again") << qint64(0) << 20 << "version 3";
    QTest::newRow("added while a draft is open") << qint64(0) << 7 << "refused: Program 7 already has a draft, program 7 \"Valve\" version 3";
    QTest::newRow("a draft edited") << qint64(3) << 7 << "in place 3";
    QTest::newRow("an approved program edited") << qint64(9) << 20 << "version 3";
    QTest::newRow("a retired program edited") << qint64(8) << 20 << "version 3";
    QTest::newRow("approved edited while a draft is open") << qint64(2) << 7 << "refused: Program 7 already has a draft";
    QTest::newRow("an edit that changes the number") << qint64(3) << 8 << "refused: The versions of a program share its number 7";
}

void tst_LibraryRules::drafts()
{
    QFETCH(qint64, editedId);
    QFETCH(int, number);
    QFETCH(QString, expected);
    const QString actual = outcome(editedId ? LibraryRules::edit(Library, editedId, number)
                                            : LibraryRules::add(Library, number));
    QVERIFY2(actual.startsWith(expected), qPrintable(actual));
}

void tst_LibraryRules::approvedFor_data()
{
    QTest::addColumn<QVector<ProgramVersion>>("library");
    QTest::addColumn<QString>("part");
    QTest::addColumn<qint64>("expected"); // 0: none

    QTest::newRow("the approved version, not the draft") << Library << "A" << qint64(2);
    QTest::newRow("a scanner's code and Enter") << Library << " B\r\n" << qint64(2);
    QTest::newRow("parts are matched as written") << Library << "a" << qint64(0);
    QTest::newRow("only a draft lists it") << Library << "D" << qint64(0);
    QTest::newRow("unknown part") << Library << "X" << qint64(0);
    QVector<ProgramVersion> twice = Library;
    twice << version(10, 30, 1, ProgramState::Approved, {"C"});
    QTest::newRow("two approved programs choose none") << twice << "C" << qint64(0);
}

void tst_LibraryRules::approvedFor()
{
    QFETCH(QVector<ProgramVersion>, library);
    QFETCH(QString, part);
    QFETCH(qint64, expected);
    const std::optional<ProgramVersion> found = LibraryRules::approvedFor(library, part);
    QCOMPARE(found ? found->id : qint64(0), expected);
}

void tst_LibraryRules::mayStart_data()
{
    QTest::addColumn<QString>("part");
    QTest::addColumn<qint64>("chosenId"); // 0: a program file, a machine program or none
    QTest::addColumn<QString>("reason");  // empty: Start may go on

    QTest::newRow("no part number typed") << "" << qint64(0) << "";
    QTest::newRow("a part the library does not know") << "X" << qint64(0) << "";
    QTest::newRow("the approved program") << "A" << qint64(2) << "";
    QTest::newRow("a program file for a known part") << "A" << qint64(0) << "Part A needs program 7 \"Valve\" version 2.";
    QTest::newRow("the draft of the right program") << "B" << qint64(3) << "Part B needs program 7 \"Valve\" version 2.";
    QTest::newRow("another approved program") << "A" << qint64(4) << "Part A needs program 7 \"Valve\" version 2.";
    QTest::newRow("a known part without approved program") << "D" << qint64(7) << "Part D has no approved program";
}

void tst_LibraryRules::mayStart()
{
    QFETCH(QString, part);
    QFETCH(qint64, chosenId);
    QFETCH(QString, reason);
    QString why;
    const bool allowed = LibraryRules::mayStart(Library, part, LibraryChoice{chosenId, 0, 0}, &why);
    QCOMPARE(allowed, reason.isEmpty());
    QVERIFY2(reason.isEmpty() || why.startsWith(reason), qPrintable(why));
}

QTEST_GUILESS_MAIN(tst_LibraryRules)
#include "tst_libraryrules.moc"
