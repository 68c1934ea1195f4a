// Each of Nelson's rules on its own: a minimal series that breaks it and
// one that just does not. The chart's centre is 0 and σ is 1 (limits ±3)
// unless a row says otherwise.
#include "spc/nelsonrules.h"

#include <QtTest>

using namespace Spc;

Q_DECLARE_METATYPE(Spc::RuleSet)
Q_DECLARE_METATYPE(QVector<double>)
Q_DECLARE_METATYPE(QVector<Spc::Violation>)

namespace {

QVector<double> repeated(double value, int count)
{
    return QVector<double>(count, value);
}

// ±value alternately, starting above.
QVector<double> alternating(double value, int count)
{
    QVector<double> points;
    for (int i = 0; i < count; ++i)
        points << (i % 2 == 0 ? value : -value);
    return points;
}

RuleSet only(int rule, int sameSideRun = RuleSet::NelsonSameSideRun)
{
    RuleSet rules;
    rules.set(rule, true);
    rules.sameSideRun = sameSideRun;
    return rules;
}

} // namespace

class tst_NelsonRules : public QObject
{
    Q_OBJECT

private slots:
    void rule_data();
    void rule();
    void presets();
    void fromNumbers_data();
    void fromNumbers();
};

void tst_NelsonRules::rule_data()
{
    QTest::addColumn<RuleSet>("rules");
    QTest::addColumn<QVector<double>>("points");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<QVector<int>>("at");

    QTest::newRow("1 beyond 3σ") << only(1) << QVector<double>{0, 3.1, -3.1} << -3.0 << 3.0
                                 << QVector<int>{1, 2};
    QTest::newRow("1 on the limit") << only(1) << QVector<double>{0, 3, -3} << -3.0 << 3.0
                                    << QVector<int>{};
    QTest::newRow("2 nine on one side") << only(2) << repeated(-0.5, 9) << -3.0 << 3.0
                                        << QVector<int>{8};
    QTest::newRow("2 eight on one side") << only(2) << repeated(-0.5, 8) << -3.0 << 3.0
                                         << QVector<int>{};
    // A point on the centre is on neither side: the run starts again.
    QTest::newRow("2 broken by the centre")
        << only(2) << repeated(0.5, 4) + QVector<double>{0} + repeated(0.5, 8) << -3.0 << 3.0
        << QVector<int>{};
    QTest::newRow("2 longer run, each further point")
        << only(2) << repeated(0.5, 10) << -3.0 << 3.0 << QVector<int>{8, 9};
    QTest::newRow("2 Western Electric eight") << only(2, RuleSet::WesternElectricSameSideRun)
                                              << repeated(0.5, 8) << -3.0 << 3.0
                                              << QVector<int>{7};
    QTest::newRow("3 six rising") << only(3) << QVector<double>{-0.3, -0.2, -0.1, 0, 0.1, 0.2}
                                  << -3.0 << 3.0 << QVector<int>{5};
    QTest::newRow("3 six falling") << only(3) << QVector<double>{2, 1, 0.5, 0, -1, -2} << -3.0
                                   << 3.0 << QVector<int>{5};
    // Two equal points neither rise nor fall.
    QTest::newRow("3 a flat step") << only(3) << QVector<double>{-0.3, -0.2, -0.1, 0, 0, 0.2}
                                   << -3.0 << 3.0 << QVector<int>{};
    QTest::newRow("4 fourteen alternating") << only(4) << alternating(0.1, 14) << -3.0 << 3.0
                                            << QVector<int>{13};
    QTest::newRow("4 thirteen alternating") << only(4) << alternating(0.1, 13) << -3.0 << 3.0
                                            << QVector<int>{};
    QTest::newRow("5 two of three beyond 2σ") << only(5) << QVector<double>{2.1, 0, 2.1} << -3.0
                                              << 3.0 << QVector<int>{2};
    // The pattern is complete at the second 2.1; the point after it, inside,
    // is not marked although its window still holds two.
    QTest::newRow("5 marked where complete") << only(5) << QVector<double>{2.1, 2.1, 0} << -3.0
                                             << 3.0 << QVector<int>{1};
    QTest::newRow("5 two of four") << only(5) << QVector<double>{2.1, 0, 0, 2.1} << -3.0 << 3.0
                                   << QVector<int>{};
    QTest::newRow("5 on opposite sides") << only(5) << QVector<double>{2.1, 0, -2.1} << -3.0
                                         << 3.0 << QVector<int>{};
    // Frozen limits need not be symmetric: σ below is 2 here.
    QTest::newRow("5 below, its own σ") << only(5) << QVector<double>{-4.1, -2.5, -4.1} << -6.0
                                        << 3.0 << QVector<int>{2};
    QTest::newRow("6 four of five beyond 1σ")
        << only(6) << QVector<double>{1.1, 1.1, 0, 1.1, 1.1} << -3.0 << 3.0 << QVector<int>{4};
    QTest::newRow("6 the fourth on the edge")
        << only(6) << QVector<double>{1.1, 1.1, 0, 1.1, 1} << -3.0 << 3.0 << QVector<int>{};
    QTest::newRow("7 fifteen within 1σ") << only(7) << alternating(0.9, 15) << -3.0 << 3.0
                                         << QVector<int>{14};
    QTest::newRow("7 one on the 1σ edge")
        << only(7) << alternating(0.9, 14) + QVector<double>{1} << -3.0 << 3.0 << QVector<int>{};
    QTest::newRow("8 eight beyond 1σ") << only(8) << alternating(1.5, 8) << -3.0 << 3.0
                                       << QVector<int>{7};
    QTest::newRow("8 one within") << only(8) << alternating(1.5, 7) + QVector<double>{0.9}
                                  << -3.0 << 3.0 << QVector<int>{};
    // Limits collapsed on the centre (every subgroup alike) have no zones.
    QTest::newRow("no σ") << RuleSet::nelson() << repeated(0, 20) << 0.0 << 0.0 << QVector<int>{};
}

void tst_NelsonRules::rule()
{
    QFETCH(RuleSet, rules);
    QFETCH(QVector<double>, points);
    QFETCH(double, lower);
    QFETCH(double, upper);
    QFETCH(QVector<int>, at);
    // The row's name begins with its rule.
    const int rule = QByteArray(QTest::currentDataTag()).left(1).toInt();
    QVector<Violation> expected;
    for (int point : at)
        expected.append({rule, point});
    QCOMPARE(violations(points, ChartLine{0, upper, lower}, rules), expected);
}

void tst_NelsonRules::presets()
{
    QCOMPARE(RuleSet::nelson().sameSideRun, 9);
    for (int rule = 1; rule <= RuleCount; ++rule)
        QVERIFY(RuleSet::nelson().isOn(rule));
    const RuleSet we = RuleSet::westernElectric();
    QCOMPARE(we.sameSideRun, 8);
    for (int rule = 1; rule <= RuleCount; ++rule)
        QCOMPARE(we.isOn(rule), rule == 1 || rule == 2 || rule == 5 || rule == 6);

    // Several rules at once come by point, then by rule: 3.5 breaks 1 and,
    // with the 2.5 before it, 5 (two of three beyond 2σ).
    const QVector<Violation> found =
        violations({0, 2.5, 3.5}, ChartLine{0, 3, -3}, RuleSet::nelson());
    QCOMPARE(found, (QVector<Violation>{{1, 2}, {5, 2}}));
}

void tst_NelsonRules::fromNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVector<int>>("on");
    QTest::addColumn<bool>("allRules");

    QTest::newRow("three") << "1,2,5" << QVector<int>{1, 2, 5} << true;
    QTest::newRow("spaced") << " 8 , 3 " << QVector<int>{3, 8} << true;
    // The rules that are named stay on beside what is not one.
    QTest::newRow("beyond eight") << "1,9" << QVector<int>{1} << false;
    QTest::newRow("a word") << "1,two" << QVector<int>{1} << false;
    QTest::newRow("a gap") << "1,,2" << QVector<int>{1, 2} << false;
    QTest::newRow("empty") << "" << QVector<int>{} << false;
}

void tst_NelsonRules::fromNumbers()
{
    QFETCH(QString, text);
    QFETCH(QVector<int>, on);
    QFETCH(bool, allRules);
    bool ok = !allRules;
    const RuleSet rules = RuleSet::fromNumbers(text, &ok);
    QCOMPARE(ok, allRules);
    QCOMPARE(rules.sameSideRun, int(RuleSet::NelsonSameSideRun));
    for (int rule = 1; rule <= RuleCount; ++rule)
        QCOMPARE(rules.isOn(rule), on.contains(rule));
}

QTEST_APPLESS_MAIN(tst_NelsonRules)
#include "tst_nelsonrules.moc"
