// What Start sends with a program chosen: its speed and a distance just
// beyond its farthest point, until Chart says otherwise.
#include "device/modbusthread.h"
#include "records/databaseconfig.h"
#include "session/programtestsetting.h"
#include "session/testsession.h"

#include <QtTest>

namespace {

TestProgram programOf(int speed, const QVector<double> &distances)
{
    TestProgram program;
    program.speed = speed;
    for (double distance : distances) {
        TestPoint point;
        point.distance = distance;
        point.force = distance == 0 ? 0 : 2 * distance;
        point.lower = point.force - 1;
        point.upper = point.force + 1;
        program.points << point;
    }
    return program;
}

} // namespace

class tst_ProgramTestSetting : public QObject
{
    Q_OBJECT

private slots:
    void distanceOf_data();
    void distanceOf();
    void chartWinsUntilAnotherProgram();
    void forcesSpanTheLimitsAndZero();
};

void tst_ProgramTestSetting::distanceOf_data()
{
    QTest::addColumn<QVector<double>>("points");
    QTest::addColumn<QVariant>("named");
    QTest::addColumn<double>("distance"); // 0: none
    QTest::newRow("just beyond the farthest point") << QVector<double>{5, 25, 15} << QVariant() << 26.0;
    QTest::newRow("empty slots do not count") << QVector<double>{5, 10, 0, 0, 0} << QVariant() << 11.0;
    QTest::newRow("the program names its distance") << QVector<double>{5, 10} << QVariant(30.0) << 30.0;
    QTest::newRow("a named distance out of range is not taken") << QVector<double>{5} << QVariant(250.0) << 6.0;
    QTest::newRow("never beyond the dialog's 200 mm") << QVector<double>{199.5} << QVariant() << 200.0;
    QTest::newRow("no point, no distance") << QVector<double>{0, 0} << QVariant() << 0.0;
}

void tst_ProgramTestSetting::distanceOf()
{
    QFETCH(QVector<double>, points);
    QFETCH(QVariant, named);
    QFETCH(double, distance);
    TestProgram program = programOf(100, points);
    if (named.isValid())
        program.otherKeys.insert(QStringLiteral("distance"), named.toDouble());
    const std::optional<double> found = ProgramTestSetting::distanceOf(program);
    QCOMPARE(found.value_or(0.0), distance);
}

// The session's word on what Start sends; no tester is needed for it.
void tst_ProgramTestSetting::chartWinsUntilAnotherProgram()
{
    QTemporaryDir dir;
    DatabaseConfig records;
    records.engine = DatabaseConfig::SQLite;
    records.sqlitePath = dir.filePath(QStringLiteral("unused.sqlite"));
    modbusThread worker;
    TestSession session(&worker, records);
    QSignalSpy changed(&session, &TestSession::testSettingChanged);
    Curve_Setting pull;
    pull.mode = 1;
    pull.speed = 300;
    pull.distance = 12;
    QCOMPARE(session.testSetting(pull).speed, 300);

    // The program's speed and distance; the operator's direction stays.
    const TestProgram program = programOf(50, {5, 25});
    session.useProgram(program, QStringLiteral("fifty"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(session.testSetting(pull).speed, 50);
    QCOMPARE(session.testSetting(pull).distance, 26.0f);
    QCOMPARE(session.testSetting(pull).mode, 1);
    // A program without a speed keeps the operator's.
    session.useProgram(programOf(0, {5}), QStringLiteral("no speed"));
    QCOMPARE(session.testSetting(pull).speed, 300);
    QCOMPARE(session.testSetting(pull).distance, 6.0f);

    session.useProgram(program, QStringLiteral("fifty"));
    Curve_Setting chart = pull;
    chart.speed = 500;
    session.settingAccepted();
    QCOMPARE(session.testSetting(chart).speed, 500);
    QCOMPARE(session.testSetting(chart).distance, 12.0f);
    // Read again at the next Connect, the same program keeps the override.
    session.useProgram(program, QStringLiteral("fifty"));
    QCOMPARE(session.testSetting(chart).speed, 500);
    // Another program brings its own settings; none, the operator's.
    session.useProgram(programOf(100, {10}), QStringLiteral("hundred"));
    QCOMPARE(session.testSetting(chart).speed, 100);
    session.useNoProgram();
    QCOMPARE(session.testSetting(chart).speed, 500);
    QCOMPARE(session.testSetting(chart).distance, 12.0f);
}

void tst_ProgramTestSetting::forcesSpanTheLimitsAndZero()
{
    QCOMPARE(ProgramTestSetting::forceSpan(programOf(0, {5, 25, 0})), std::make_pair(0.0, 51.0));
    TestProgram pull = programOf(0, {5});
    pull.points[0].lower = -12;
    pull.points[0].upper = -8;
    QCOMPARE(ProgramTestSetting::forceSpan(pull), std::make_pair(-12.0, 0.0));
}

QTEST_GUILESS_MAIN(tst_ProgramTestSetting)
#include "tst_programtestsetting.moc"
