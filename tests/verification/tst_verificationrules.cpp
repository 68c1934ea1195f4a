// A verification's arithmetic, the machine's state, Start's gate and the
// suspect period, from tables.
#include "verification/verificationrules.h"

#include <QtTest>

#include <cmath>

using State = VerificationRules::State;
using Gate = VerificationRules::Gate;
using Policy = VerificationSettings::Policy;
using Verdict = VerificationVerdict;

Q_DECLARE_METATYPE(State)
Q_DECLARE_METATYPE(Gate)
Q_DECLARE_METATYPE(Policy)

namespace {

const QDate Today(2026, 12, 8);

// "pass", "fail", "fail/pass" (as found / as left).
MachineVerification made(qint64 id, const QString &day, const QString &verdicts, QDate due = {})
{
    MachineVerification v;
    v.id = id;
    v.station = QStringLiteral("bench-1");
    v.performedAt = QDateTime(QDate::fromString(day, Qt::ISODate), QTime(12, 0), Qt::UTC);
    const QStringList parts = verdicts.split('/');
    v.asFoundVerdict = *VerificationRules::verdictFromName(parts.first());
    if (parts.size() > 1)
        v.asLeftVerdict = VerificationRules::verdictFromName(parts.last());
    v.nextDue = due.isValid() ? due : v.performedAt.date().addMonths(12);
    return v;
}

VerificationPass forces(std::initializer_list<std::pair<double, double>> points)
{
    VerificationPass pass;
    for (const auto &[reference, indicated] : points)
        pass.force << VerificationPoint{reference, indicated};
    return pass;
}

} // namespace

class tst_VerificationRules : public QObject
{
    Q_OBJECT

private slots:
    void pointError_data();
    void pointError();
    void passVerdict();
    void nextDueKeepsTheMonthEnd();
    void validate_data();
    void validate();
    void state_data();
    void state();
    void inForceIsTheLatestPerformed();
    void suspectPeriod_data();
    void suspectPeriod();
};

void tst_VerificationRules::pointError_data()
{
    QTest::addColumn<double>("reference");
    QTest::addColumn<double>("indicated");
    QTest::addColumn<double>("permitted");
    QTest::addColumn<double>("error"); // NaN: none
    QTest::addColumn<bool>("within");

    QTest::newRow("exactly at the limit") << 100.0 << 101.0 << 1.0 << 1.0 << true;
    QTest::newRow("just past it") << 100.0 << 101.01 << 1.0 << 1.01 << false;
    QTest::newRow("below the reference") << 100.0 << 99.0 << 1.0 << -1.0 << true;
    QTest::newRow("of reading, not of range") << 20.0 << 20.3 << 1.0 << 1.5 << false;
    QTest::newRow("a PULL force") << -50.0 << -50.6 << 1.0 << 1.2 << false;
    QTest::newRow("a tighter lab") << 200.0 << 201.5 << 0.5 << 0.75 << false;
    QTest::newRow("a reference of 0") << 0.0 << 0.1 << 1.0 << std::nan("") << false;
}

void tst_VerificationRules::pointError()
{
    QFETCH(double, reference);
    QFETCH(double, indicated);
    QFETCH(double, permitted);
    QFETCH(double, error);
    QFETCH(bool, within);
    const VerificationPoint point{reference, indicated};
    QCOMPARE(point.errorPercent().has_value(), !std::isnan(error));
    if (point.errorPercent())
        QVERIFY(std::fabs(*point.errorPercent() - error) < 1e-9);
    QCOMPARE(VerificationRules::withinPermitted(point, permitted), within);
}

void tst_VerificationRules::passVerdict()
{
    QVERIFY(!VerificationRules::verdictOf({}, 1.0));
    QCOMPARE(VerificationRules::verdictOf(forces({{100, 100.5}, {200, 198}}), 1.0), Verdict::Pass);
    QCOMPARE(VerificationRules::verdictOf(forces({{100, 100.5}, {200, 197.9}}), 1.0), Verdict::Fail);
    VerificationPass withDistance = forces({{100, 100}});
    withDistance.distance << VerificationPoint{10, 10.2};
    QCOMPARE(VerificationRules::verdictOf(withDistance, 1.0), Verdict::Fail);
    QVERIFY(!VerificationRules::verdictOf(forces({{100, 100}, {0, 0}}), 1.0));
}

void tst_VerificationRules::nextDueKeepsTheMonthEnd()
{
    QCOMPARE(VerificationRules::nextDue(QDate(2026, 1, 31), 12), QDate(2027, 1, 31));
    QCOMPARE(VerificationRules::nextDue(QDate(2024, 2, 29), 12), QDate(2025, 2, 28));
    QCOMPARE(VerificationRules::nextDue(QDate(2026, 8, 31), 6), QDate(2027, 2, 28));
}

void tst_VerificationRules::validate_data()
{
    QTest::addColumn<MachineVerification>("verification");
    QTest::addColumn<QString>("error"); // empty: may be stored

    MachineVerification good = made(1, "2026-12-01", "pass");
    good.asFound = forces({{100, 100.4}, {500, 503}});
    good.reference = {QStringLiteral("Load cell"), QStringLiteral("C-1"), QDate(2027, 3, 1)};
    QTest::newRow("good") << good << "";

    MachineVerification external = made(2, "2026-12-01", "fail/pass");
    QTest::newRow("an external certificate without points") << external << "";

    MachineVerification v = good;
    v.station = QStringLiteral(" ");
    QTest::newRow("no station") << v << "A verification needs the station";
    v = good;
    v.nextDue = QDate(2026, 12, 1);
    QTest::newRow("due on the day itself") << v << "The next due date must come after";
    v = good;
    v.reference.dueDate = QDate(2026, 11, 30);
    QTest::newRow("reference out of calibration") << v << "The reference instrument's own calibration ran out on 2026-11-30";
    v = good;
    v.asFoundVerdict = Verdict::Fail;
    QTest::newRow("verdict against its points") << v << "The points as found are all within ±1 %, but the verdict given is not pass.";
    v = good;
    v.asLeft = forces({{100, 102}});
    v.asLeftVerdict = Verdict::Pass;
    QTest::newRow("as left against its points") << v << "The points as left are not all within ±1 %";
    v = good;
    v.asFound.force << VerificationPoint{std::nan(""), 1};
    QTest::newRow("not a number") << v << "A point as found is not a number.";
    v = good;
    v.asFound.force << VerificationPoint{0, 0};
    QTest::newRow("a reference of 0") << v << "A reference point as found is 0";
}

void tst_VerificationRules::validate()
{
    QFETCH(MachineVerification, verification);
    QFETCH(QString, error);
    QString why;
    QCOMPARE(VerificationRules::validate(verification, &why), error.isEmpty());
    QVERIFY2(error.isEmpty() || why.startsWith(error), qPrintable(why));
}

void tst_VerificationRules::state_data()
{
    QTest::addColumn<QString>("verdicts"); // empty: never verified
    QTest::addColumn<QDate>("due");
    QTest::addColumn<State>("state");
    QTest::addColumn<Gate>("warnPolicy");
    QTest::addColumn<Gate>("blockPolicy");
    QTest::addColumn<QString>("text");

    QTest::newRow("never verified") << "" << QDate() << State::NotVerified << Gate::Allowed << Gate::Allowed << "Machine not verified";
    QTest::newRow("due today") << "pass" << Today << State::Valid << Gate::Allowed << Gate::Allowed << "Machine verified, due 2026-12-08";
    QTest::newRow("due yesterday") << "pass" << Today.addDays(-1) << State::Overdue << Gate::Warn << Gate::Block << "Machine verification overdue since 2026-12-07";
    QTest::newRow("failed") << "fail" << Today.addDays(90) << State::Failed << Gate::Warn << Gate::Block << "Machine verification failed on 2026-06-01";
    QTest::newRow("adjusted and passed as left") << "fail/pass" << Today.addDays(90) << State::Valid << Gate::Allowed << Gate::Allowed << "Machine verified, due 2027-03-08";
    QTest::newRow("passed as found, failed as left") << "pass/fail" << Today.addDays(90) << State::Failed << Gate::Warn << Gate::Block << "Machine verification failed";
    QTest::newRow("failed and overdue") << "fail" << Today.addDays(-1) << State::Failed << Gate::Warn << Gate::Block << "Machine verification failed";
}

void tst_VerificationRules::state()
{
    QFETCH(QString, verdicts);
    QFETCH(QDate, due);
    QFETCH(State, state);
    QFETCH(Gate, warnPolicy);
    QFETCH(Gate, blockPolicy);
    QFETCH(QString, text);
    std::optional<MachineVerification> inForce;
    if (!verdicts.isEmpty())
        inForce = made(1, "2026-06-01", verdicts, due);
    QCOMPARE(VerificationRules::stateOf(inForce, Today), state);
    QCOMPARE(VerificationRules::startGate(state, Policy::Warn), warnPolicy);
    QCOMPARE(VerificationRules::startGate(state, Policy::Block), blockPolicy);
    QVERIFY2(VerificationRules::stateText(state, inForce).startsWith(text),
             qPrintable(VerificationRules::stateText(state, inForce)));
}

void tst_VerificationRules::inForceIsTheLatestPerformed()
{
    // An external certificate entered after a later guided verification.
    const QVector<MachineVerification> station{made(5, "2026-09-01", "pass"), made(6, "2026-03-01", "fail")};
    QCOMPARE(VerificationRules::inForce(station, QDateTime(Today, QTime(), Qt::UTC))->id, qint64(5));
    QCOMPARE(VerificationRules::inForce(station, QDateTime(QDate(2026, 5, 1), QTime(), Qt::UTC))->id, qint64(6));
    QVERIFY(!VerificationRules::inForce(station, QDateTime(QDate(2026, 1, 1), QTime(), Qt::UTC)));
}

void tst_VerificationRules::suspectPeriod_data()
{
    QTest::addColumn<qint64>("failedId");
    QTest::addColumn<QString>("from");  // empty: since the first test
    QTest::addColumn<QString>("until"); // empty: up to now; "none": no suspect period

    // In time order: 1 pass, 2 fail/pass, 3 fail, 4 pass; ids 5 and 6 are a
    // second station's story, entered out of order.
    QTest::newRow("back to the adjustment, on to the next pass") << qint64(3) << "2026-06-01" << "2026-10-01";
    QTest::newRow("adjusted at once") << qint64(2) << "2026-01-01" << "2026-06-01";
    QTest::newRow("no pass before, none after") << qint64(6) << "" << "";
    QTest::newRow("a verification that passed") << qint64(4) << "" << "none";
}

void tst_VerificationRules::suspectPeriod()
{
    QFETCH(qint64, failedId);
    QFETCH(QString, from);
    QFETCH(QString, until);
    const QVector<MachineVerification> station = failedId >= 5
        ? QVector<MachineVerification>{made(6, "2026-04-01", "fail"), made(5, "2026-05-01", "fail/fail")}
        : QVector<MachineVerification>{made(4, "2026-10-01", "pass"), made(1, "2026-01-01", "pass"),
                                       made(3, "2026-09-01", "fail"), made(2, "2026-06-01", "fail/pass")};
    const auto period = VerificationRules::suspectPeriod(station, failedId);
    QCOMPARE(!period, until == QLatin1String("none"));
    if (!period)
        return;
    QCOMPARE(period->from.date().toString(Qt::ISODate), from);
    QCOMPARE(period->until.date().toString(Qt::ISODate), until);
    if (failedId < 5)
        QCOMPARE(VerificationRules::latestFailedAsFound(station)->id, qint64(3));
}

QTEST_GUILESS_MAIN(tst_VerificationRules)
#include "tst_verificationrules.moc"
