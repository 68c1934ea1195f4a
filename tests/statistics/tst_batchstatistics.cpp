// Per-point statistics of a batch against hand-computed figures.
#include "statistics/batchstatistics.h"

#include <QtTest>

#include <cmath>

using namespace BatchStatistics;

Q_DECLARE_METATYPE(QVector<double>)

namespace {

// A force that is NaN in a table row stands for a point not reached.
QVector<PointSample> samplesOf(const QVector<double> &forces, double lower, double upper)
{
    QVector<PointSample> samples;
    for (double force : forces) {
        PointSample sample;
        sample.pointNo = 1;
        if (!std::isnan(force))
            sample.force = force;
        sample.lower = lower;
        sample.upper = upper;
        samples << sample;
    }
    return samples;
}

// "none" is a null QVariant.
void compareOptional(const std::optional<double> &actual, const QVariant &expected, const char *what)
{
    QVERIFY2(actual.has_value() == !expected.isNull(), what);
    if (actual)
        QVERIFY2(std::abs(*actual - expected.toDouble()) < 1e-12, what);
}

} // namespace

class tst_BatchStatistics : public QObject
{
    Q_OBJECT

private slots:
    void point_data();
    void point();
    void limitsThatDifferGiveNoCapability();
    void pointsInOrder();
    void withinSubgroupsAgainstOverall_data();
    void withinSubgroupsAgainstOverall();
    void histogram_data();
    void histogram();
};

void tst_BatchStatistics::point_data()
{
    const QVariant none;
    const double notReached = std::nan("");
    QTest::addColumn<QVector<double>>("forces");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("missed");
    QTest::addColumn<QVariant>("mean");
    QTest::addColumn<QVariant>("sd");
    QTest::addColumn<QVariant>("min");
    QTest::addColumn<QVariant>("max");
    QTest::addColumn<QVariant>("pp");
    QTest::addColumn<QVariant>("ppk");

    // 10, 12, 14: mean 12, squared deviations 4 + 0 + 4 = 8, 8 / (3 - 1) = 4,
    // s = 2; Pp = (18 - 6) / (6 * 2) = 1; Ppk = min(18 - 12, 12 - 6) / (3 * 2) = 1.
    QTest::newRow("centred in its band") << QVector<double>{10, 12, 14} << 6.0 << 18.0 << 3 << 0
                                         << QVariant(12.0) << QVariant(2.0) << QVariant(10.0)
                                         << QVariant(14.0) << QVariant(1.0) << QVariant(1.0);
    // Band 9..21: Pp = 12 / 12 = 1; Ppk = min(9, 3) / 6 = 0.5.
    QTest::newRow("off centre") << QVector<double>{10, 12, 14} << 9.0 << 21.0 << 3 << 0
                                << QVariant(12.0) << QVariant(2.0) << QVariant(10.0)
                                << QVariant(14.0) << QVariant(1.0) << QVariant(0.5);
    // Mean 16 above the upper limit 15: Ppk = (15 - 16) / 6 < 0.
    QTest::newRow("mean outside the band") << QVector<double>{14, 16, 18} << 5.0 << 15.0 << 3 << 0
                                           << QVariant(16.0) << QVariant(2.0) << QVariant(14.0)
                                           << QVariant(18.0) << QVariant(10.0 / 12.0)
                                           << QVariant(-1.0 / 6.0);
    QTest::newRow("no spread, no capability") << QVector<double>{5, 5} << 4.0 << 6.0 << 2 << 0
                                              << QVariant(5.0) << QVariant(0.0) << QVariant(5.0)
                                              << QVariant(5.0) << none << none;
    QTest::newRow("one force has no deviation") << QVector<double>{notReached, 7} << 4.0 << 9.0 << 1
                                                << 1 << QVariant(7.0) << none << QVariant(7.0)
                                                << QVariant(7.0) << none << none;
    QTest::newRow("never reached") << QVector<double>{notReached, notReached} << 4.0 << 9.0 << 0
                                   << 2 << none << none << none << none << none << none;
    QTest::newRow("no band: upper not above lower")
        << QVector<double>{10, 12, 14} << 5.0 << 5.0 << 3 << 0 << QVariant(12.0) << QVariant(2.0)
        << QVariant(10.0) << QVariant(14.0) << none << none;
    // Large forces, small spread: 1000.1, 1000.2, 1000.3 have s = 0.1.
    QTest::newRow("large forces keep their spread")
        << QVector<double>{1000.1, 1000.2, 1000.3} << 999.5 << 1000.9 << 3 << 0
        << QVariant(1000.2) << QVariant(0.1) << QVariant(1000.1) << QVariant(1000.3)
        << QVariant(1.4 / 0.6) << QVariant(0.7 / 0.3);
}

void tst_BatchStatistics::point()
{
    QFETCH(QVector<double>, forces);
    QFETCH(double, lower);
    QFETCH(double, upper);
    const QVector<PointSummary> result = summarise(samplesOf(forces, lower, upper));
    QCOMPARE(result.size(), 1);
    const PointSummary &s = result.first();
    QTEST(s.n, "n");
    QTEST(s.notReached, "missed");
    QFETCH(QVariant, mean);
    QFETCH(QVariant, sd);
    QFETCH(QVariant, min);
    QFETCH(QVariant, max);
    QFETCH(QVariant, pp);
    QFETCH(QVariant, ppk);
    // The last row's figures are decimal fractions: compare them loosely.
    const bool loose = QByteArray(QTest::currentDataTag()).startsWith("large");
    auto check = [&](const std::optional<double> &a, const QVariant &e, const char *what) {
        if (loose && a && !e.isNull())
            QVERIFY2(std::abs(*a - e.toDouble()) < 1e-9, what);
        else
            compareOptional(a, e, what);
    };
    check(s.mean, mean, "mean");
    check(s.standardDeviation, sd, "standard deviation");
    check(s.minimum, min, "minimum");
    check(s.maximum, max, "maximum");
    check(s.capability.pp, pp, "Pp");
    check(s.capability.ppk, ppk, "Ppk");
}

void tst_BatchStatistics::limitsThatDifferGiveNoCapability()
{
    QVector<PointSample> samples = samplesOf({10, 12}, 6, 18);
    samples += samplesOf({14}, 6, 20);
    const PointSummary s = summarise(samples).first();
    QCOMPARE(s.n, 3);
    QVERIFY(s.limitsDiffer);
    QVERIFY(!s.lower && !s.upper && !s.capability.pp && !s.capability.cp);
    QCOMPARE(*s.standardDeviation, 2.0);
}

void tst_BatchStatistics::pointsInOrder()
{
    QVector<PointSample> samples;
    for (int no : {3, 1, 3, 2})
        samples.append({no, 1.0, 0, 2});
    const QVector<PointSummary> result = summarise(samples);
    QCOMPARE(result.size(), 3);
    QCOMPARE(result.at(0).pointNo, 1);
    QCOMPARE(result.at(2).pointNo, 3);
    QCOMPARE(result.at(2).n, 2);
}

// A process that drifted between two subgroups: 10, 12, 14 then 20, 22, 24
// (mean 17) in the band 5 … 29. Overall s² = (49 + 25 + 9 + 9 + 25 + 49) / 5
// = 33.2, so Pp = Ppk = 24 / (6 · 5.7619) = 0.6942; the within-subgroup σ̂
// sees only each subgroup's own spread.
void tst_BatchStatistics::withinSubgroupsAgainstOverall_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<double>("sigmaWithin");
    // Both subgroups have s = 2: σ̂ = 2 / 0.8862.
    QTest::newRow("subgroups of 3") << 3 << 2 / 0.8862;
    // One complete subgroup 10, 12, 14, 20 (s² = 56 / 3); 22, 24 left out.
    QTest::newRow("incomplete last subgroup left out") << 4 << std::sqrt(56.0 / 3) / 0.9213;
    // Moving ranges 2, 2, 6, 2, 2: MR̄ = 2.8, σ̂ = 2.8 / 1.128.
    QTest::newRow("moving range") << 1 << 2.8 / 1.128;
}

void tst_BatchStatistics::withinSubgroupsAgainstOverall()
{
    QFETCH(int, size);
    QFETCH(double, sigmaWithin);
    const PointSummary s = summarise(samplesOf({10, 12, 14, 20, 22, 24}, 5, 29), size).first();
    const double overall = std::sqrt(33.2);
    compareOptional(s.capability.pp, 24 / (6 * overall), "Pp");
    compareOptional(s.capability.ppk, 12 / (3 * overall), "Ppk");
    compareOptional(s.capability.sigmaWithin, sigmaWithin, "sigma within");
    compareOptional(s.capability.cp, 24 / (6 * sigmaWithin), "Cp");
    compareOptional(s.capability.cpk, 12 / (3 * sigmaWithin), "Cpk");
}

void tst_BatchStatistics::histogram_data()
{
    QTest::addColumn<QVector<double>>("forces");
    QTest::addColumn<QVariant>("lower");
    QTest::addColumn<QVariant>("upper");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("width");
    QTest::addColumn<QVector<int>>("counts");
    // Limits 0..10 take 5 of the 5 bins across the values: width 2, edges
    // at both limits, one bin to spare on either side.
    QTest::newRow("limits on bin edges")
        << QVector<double>{4, 5, 5, 6} << QVariant(0.0) << QVariant(10.0) << -2.0 << 2.0
        << QVector<int>{0, 0, 0, 3, 1, 0, 0};
    // A force on the upper limit passes, and is drawn inside the band.
    QTest::newRow("upper limit belongs to the band")
        << QVector<double>{2, 10} << QVariant(0.0) << QVariant(10.0) << -2.0 << 2.0
        << QVector<int>{0, 0, 1, 0, 0, 1, 0};
    // One limit: 5 bins over 3..11 (width 1.6) with an edge at 11.
    QTest::newRow("one limit on an edge")
        << QVector<double>{3, 4, 6, 8} << QVariant() << QVariant(11.0) << 1.4 << 1.6
        << QVector<int>{0, 2, 1, 0, 1, 0, 0};
    // A broken spring far out: the band keeps one bin of 2 N, the outlier
    // lands in the outermost of 15 bins beyond the upper limit.
    QTest::newRow("outlier in the outermost bin")
        << QVector<double>{5, 5, 5, 1000} << QVariant(4.0) << QVariant(6.0) << 2.0 << 2.0
        << QVector<int>{0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    // 9 forces 1..9: 5 bins, span 8, margin 0.8, width 9.6 / 5 = 1.92 from 0.2.
    QTest::newRow("no limits: the forces alone")
        << QVector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9} << QVariant() << QVariant() << 0.2 << 1.92
        << QVector<int>{2, 2, 1, 2, 2};
    // All equal, no band: a span of one newton around them, 2.5..3.5.
    QTest::newRow("one value") << QVector<double>{3, 3} << QVariant() << QVariant() << 2.4 << 0.24
                               << QVector<int>{0, 0, 2, 0, 0};
    QTest::newRow("nothing") << QVector<double>{} << QVariant() << QVariant() << 0.0 << 0.0
                             << QVector<int>{};
}

void tst_BatchStatistics::histogram()
{
    QFETCH(QVector<double>, forces);
    QFETCH(QVariant, lower);
    QFETCH(QVariant, upper);
    auto limit = [](const QVariant &v) {
        return v.isNull() ? std::optional<double>() : std::optional<double>(v.toDouble());
    };
    const Histogram h = BatchStatistics::histogram(forces, limit(lower), limit(upper));
    QFETCH(double, start);
    QFETCH(double, width);
    QVERIFY(std::abs(h.start - start) < 1e-9);
    QVERIFY(std::abs(h.binWidth - width) < 1e-9);
    QTEST(h.counts, "counts");
}

QTEST_GUILESS_MAIN(tst_BatchStatistics)
#include "tst_batchstatistics.moc"
