// Control-chart limits and capability against hand-computed subgroups.
#include "spc/capability.h"
#include "spc/controlchart.h"

#include <QtTest>

#include <cmath>

using namespace Spc;

Q_DECLARE_METATYPE(QVector<Spc::Subgroup>)

namespace {

constexpr double Tolerance = 1e-9;

// "none" is a null QVariant.
void compareOptional(const std::optional<double> &actual, const QVariant &expected,
                     const char *what)
{
    QVERIFY2(actual.has_value() == !expected.isNull(), what);
    if (actual)
        QVERIFY2(std::abs(*actual - expected.toDouble()) < 1e-6, what);
}

void compareLine(const std::optional<ChartLine> &line, double center, double upper, double lower)
{
    QVERIFY(line);
    QVERIFY(std::abs(line->center - center) < Tolerance);
    QVERIFY(std::abs(line->upper - upper) < Tolerance);
    QVERIFY(std::abs(line->lower - lower) < Tolerance);
}

// Three subgroups of three: {10, 12, 14} (mean 12, s 2), {11, 12, 13}
// (mean 12, s 1), {13, 15, 17} (mean 15, s 2).
const QVector<Subgroup> ThreeOfThree = {{12, 2}, {12, 1}, {15, 2}};
// Individuals 10, 12, 11, 15, 12: moving ranges 2, 1, 4, 3.
const QVector<Subgroup> Individuals = {{10, 0}, {12, 0}, {11, 0}, {15, 0}, {12, 0}};

} // namespace

class tst_ControlChart : public QObject
{
    Q_OBJECT

private slots:
    void constantsAgreeWithTheirFormulas_data();
    void constantsAgreeWithTheirFormulas();
    void subgroupMeansAndDeviations();
    void subgroupsFromCuts_data();
    void subgroupsFromCuts();
    void individualsAndMovingRange();
    void tooLittleDataHasNoLimits();
    void capability_data();
    void capability();
    void capabilityBelowTheGoalIsMarked_data();
    void capabilityBelowTheGoalIsMarked();
    void frozenLimitsJudgeLaterTests();
};

// A mistyped constant shows as a disagreement with the formula it rounds.
void tst_ControlChart::constantsAgreeWithTheirFormulas_data()
{
    QTest::addColumn<int>("n");
    for (int n = 2; n <= MaxSubgroupSize; ++n)
        QTest::newRow(qPrintable(QStringLiteral("n = %1").arg(n))) << n;
}

void tst_ControlChart::constantsAgreeWithTheirFormulas()
{
    QFETCH(int, n);
    const SubgroupConstants *row = subgroupConstants(n);
    QVERIFY(row);
    const double c4 = std::sqrt(2.0 / (n - 1)) * std::tgamma(n / 2.0) / std::tgamma((n - 1) / 2.0);
    QVERIFY(std::abs(row->c4 - c4) < 5e-5);
    const double spread = 3 * std::sqrt(1 - row->c4 * row->c4) / row->c4;
    QVERIFY(std::abs(row->a3 - 3 / (row->c4 * std::sqrt(n))) < 1e-3);
    QVERIFY(std::abs(row->b3 - std::max(0.0, 1 - spread)) < 1e-3);
    QVERIFY(std::abs(row->b4 - (1 + spread)) < 1e-3);
    QVERIFY(!subgroupConstants(1));
    QVERIFY(!subgroupConstants(MaxSubgroupSize + 1));
}

void tst_ControlChart::subgroupMeansAndDeviations()
{
    const ControlChart chart = controlChart(ThreeOfThree, 3);
    QCOMPARE(chart.location, (QVector<double>{12, 12, 15}));
    QCOMPARE(chart.spread, (QVector<std::optional<double>>{2.0, 1.0, 2.0}));
    // X̿ = 13, s̄ = 5/3; A3 = 1.954, B3 = 0, B4 = 2.568.
    const double meanSd = 5.0 / 3;
    compareLine(chart.locationLimits, 13, 13 + 1.954 * meanSd, 13 - 1.954 * meanSd);
    compareLine(chart.spreadLimits, meanSd, 2.568 * meanSd, 0);
    compareOptional(chart.sigmaWithin, meanSd / 0.8862, "s̄ / c4(3)");
    QVERIFY(!chart.frozen);
}

// Cuts of three tests, written "number:values"; a cut's mean is its number.
void tst_ControlChart::subgroupsFromCuts_data()
{
    QTest::addColumn<QStringList>("cuts");
    QTest::addColumn<int>("subgroups"); // -1: numbered over the values instead
    QTest::newRow("all full, in any order") << QStringList{"2:3", "0:3", "1:3"} << 3;
    QTest::newRow("the last short: left out") << QStringList{"0:3", "1:3", "2:1"} << 2;
    QTest::newRow("later cuts without values") << QStringList{"0:3", "1:2", "2:0", "3:0"} << 1;
    QTest::newRow("a short cut before the last") << QStringList{"0:3", "1:2", "2:3"} << -1;
    QTest::newRow("a cut of tests without the point") << QStringList{"0:3", "2:3"} << -1;
    QTest::newRow("none with values") << QStringList{"0:0"} << 0;
    QTest::newRow("no cuts") << QStringList() << 0;
}

void tst_ControlChart::subgroupsFromCuts()
{
    QFETCH(QStringList, cuts);
    QFETCH(int, subgroups);
    QVector<Cut> given;
    for (const QString &cut : cuts) {
        const QStringList parts = cut.split(':');
        given.append({parts.at(0).toLongLong(), parts.at(1).toInt(), parts.at(0).toDouble(), 0.5});
    }
    const std::optional<QVector<Subgroup>> result = subgroupsOfCuts(given, 3);
    QCOMPARE(result.has_value(), subgroups >= 0);
    if (!result)
        return;
    QCOMPARE(result->size(), subgroups);
    for (int i = 0; i < result->size(); ++i)
        QCOMPARE(result->at(i).mean, double(i)); // in cut order
}

void tst_ControlChart::individualsAndMovingRange()
{
    const ControlChart chart = controlChart(Individuals, 1);
    QCOMPARE(chart.location, (QVector<double>{10, 12, 11, 15, 12}));
    QCOMPARE(chart.spread,
             (QVector<std::optional<double>>{std::nullopt, 2.0, 1.0, 4.0, 3.0}));
    // X̄ = 12, MR̄ = 10 / 4 = 2.5.
    compareLine(chart.locationLimits, 12, 12 + 2.660 * 2.5, 12 - 2.660 * 2.5);
    compareLine(chart.spreadLimits, 2.5, 3.267 * 2.5, 0);
    compareOptional(chart.sigmaWithin, 2.5 / 1.128, "MR̄ / d2");
}

void tst_ControlChart::tooLittleDataHasNoLimits()
{
    const ControlChart none = controlChart({}, 5);
    QVERIFY(none.location.isEmpty());
    QVERIFY(!none.locationLimits && !none.spreadLimits && !none.sigmaWithin);
    // One value has no moving range.
    const ControlChart single = controlChart({{7, 0}}, 1);
    QCOMPARE(single.location, QVector<double>{7});
    QVERIFY(!single.locationLimits && !single.sigmaWithin);
    QVERIFY(!controlChart(ThreeOfThree, MaxSubgroupSize + 1).locationLimits);
}

void tst_ControlChart::capability_data()
{
    const QVariant none;
    QTest::addColumn<QVector<Subgroup>>("subgroups");
    QTest::addColumn<int>("size");
    // The overall figures of the same tests, as the database gives them.
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("s");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<QVariant>("pp");
    QTest::addColumn<QVariant>("ppk");
    QTest::addColumn<QVariant>("cp");
    QTest::addColumn<QVariant>("cpk");

    // The nine values of ThreeOfThree: mean 13, squared deviations 36,
    // s = √(36 / 8) = 2.1213; σ̂ = (5/3) / 0.8862 = 1.8807. Band 8..19:
    // Pp = 11 / 6s, Ppk = min(6, 5) / 3s; Cp = 11 / 6σ̂, Cpk = 5 / 3σ̂.
    // The drift between subgroups makes s larger than σ̂: Pp < Cp.
    const double s9 = std::sqrt(4.5);
    const double sigma3 = (5.0 / 3) / 0.8862;
    QTest::newRow("subgroups of three")
        << ThreeOfThree << 3 << 13.0 << s9 << 8.0 << 19.0 << QVariant(11 / (6 * s9))
        << QVariant(5 / (3 * s9)) << QVariant(11 / (6 * sigma3)) << QVariant(5 / (3 * sigma3));
    // Individuals: mean 12, s = √(14 / 4) = 1.8708; σ̂ = 2.5 / 1.128.
    const double s5 = std::sqrt(3.5);
    const double sigma1 = 2.5 / 1.128;
    QTest::newRow("individuals") << Individuals << 1 << 12.0 << s5 << 6.0 << 20.0
                                 << QVariant(14 / (6 * s5)) << QVariant(6 / (3 * s5))
                                 << QVariant(14 / (6 * sigma1)) << QVariant(6 / (3 * sigma1));
    QTest::newRow("no band") << ThreeOfThree << 3 << 13.0 << s9 << 19.0 << 19.0 << none << none
                             << none << none;
    // Equal subgroups: s̄ = 0, no within sigma, but the overall s is there.
    QTest::newRow("no spread within") << QVector<Subgroup>{{12, 0}, {14, 0}} << 2 << 13.0
                                      << std::sqrt(4.0 / 3) << 8.0 << 19.0
                                      << QVariant(11 / (6 * std::sqrt(4.0 / 3)))
                                      << QVariant(5 / (3 * std::sqrt(4.0 / 3))) << none << none;
}

void tst_ControlChart::capability()
{
    QFETCH(QVector<Subgroup>, subgroups);
    QFETCH(int, size);
    QFETCH(double, mean);
    QFETCH(double, s);
    QFETCH(double, lower);
    QFETCH(double, upper);
    const ControlChart chart = controlChart(subgroups, size);
    const Capability c = Spc::capability(mean, s, chart.sigmaWithin, lower, upper);
    QFETCH(QVariant, pp);
    QFETCH(QVariant, ppk);
    QFETCH(QVariant, cp);
    QFETCH(QVariant, cpk);
    compareOptional(c.pp, pp, "Pp");
    compareOptional(c.ppk, ppk, "Ppk");
    compareOptional(c.cp, cp, "Cp");
    compareOptional(c.cpk, cpk, "Cpk");
}

// The reports and the window mark an index under 1.33; none is no figure
// to mark.
void tst_ControlChart::capabilityBelowTheGoalIsMarked_data()
{
    QTest::addColumn<QVariant>("index");
    QTest::addColumn<bool>("marked");
    QTest::newRow("none") << QVariant() << false;
    QTest::newRow("just under") << QVariant(1.3299) << true;
    QTest::newRow("the goal itself") << QVariant(1.33) << false;
    QTest::newRow("capable") << QVariant(2.0) << false;
    QTest::newRow("off centre") << QVariant(-0.5) << true;
}

void tst_ControlChart::capabilityBelowTheGoalIsMarked()
{
    QFETCH(QVariant, index);
    QFETCH(bool, marked);
    const std::optional<double> value =
        index.isNull() ? std::nullopt : std::optional<double>(index.toDouble());
    QCOMPARE(belowGoal(value), marked);
}

void tst_ControlChart::frozenLimitsJudgeLaterTests()
{
    const std::optional<FrozenLimits> frozen = limitsToFreeze(controlChart(ThreeOfThree, 3));
    QVERIFY(frozen);
    QCOMPARE(frozen->subgroupSize, 3);

    // Later tests drift: their own limits would follow them, the frozen
    // ones do not. σ̂ for Cp and Cpk stays the later tests' own.
    const QVector<Subgroup> later = {{20, 4}, {21, 4}};
    const ControlChart judged = controlChart(later, 3, &*frozen);
    QVERIFY(judged.frozen);
    compareLine(judged.locationLimits, frozen->location.center, frozen->location.upper,
                frozen->location.lower);
    compareLine(judged.spreadLimits, frozen->spread.center, frozen->spread.upper,
                frozen->spread.lower);
    compareOptional(judged.sigmaWithin, 4 / 0.8862, "the data's own σ̂");
    // Limits frozen for another subgroup size do not fit these subgroups.
    const ControlChart otherSize = controlChart(later, 2, &*frozen);
    QVERIFY(!otherSize.frozen);
    compareLine(otherSize.locationLimits, 20.5, 20.5 + 2.659 * 4, 20.5 - 2.659 * 4);
    // Freezing a chart already judged against frozen limits would only copy them.
    QVERIFY(!limitsToFreeze(judged));
}

QTEST_APPLESS_MAIN(tst_ControlChart)
#include "tst_controlchart.moc"
