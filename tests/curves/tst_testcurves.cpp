#include "curves/testcurves.h"

#include <QtTest>

#include <limits>

namespace {

struct Added
{
    int stroke;
    double distance;
    double force;
};
using AddedPoints = QVector<Added>;

// A stroke as text, so that a failed comparison shows it.
QString text(const QVector<TestCurves::Point> &points)
{
    QStringList parts;
    for (const TestCurves::Point &p : points)
        parts.append(QStringLiteral("%1:%2").arg(p.distance).arg(p.force));
    return parts.join(QLatin1Char(' '));
}

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

} // namespace

Q_DECLARE_METATYPE(AddedPoints)

class TestTestCurves : public QObject
{
    Q_OBJECT

private slots:
    void holdsFiniteStrokePointsInAcquisitionOrder_data();
    void holdsFiniteStrokePointsInAcquisitionOrder();
    void clearEmptiesBothStrokes();
    void holdsSinglePrecisionPairs_data();
    void holdsSinglePrecisionPairs();
};

void TestTestCurves::holdsFiniteStrokePointsInAcquisitionOrder_data()
{
    QTest::addColumn<AddedPoints>("added");
    QTest::addColumn<QString>("forward");
    QTest::addColumn<QString>("forwardSorted");
    QTest::addColumn<QString>("back");

    QTest::newRow("each stroke its own")
        << AddedPoints{{0, 1, 10}, {1, 2, 20}, {0, 3, 30}} << "1:10 3:30" << "1:10 3:30" << "2:20";
    QTest::newRow("jitter backwards: sorted view is stable")
        << AddedPoints{{0, 2, 1}, {0, 1, 2}, {0, 2, 3}, {0, 1, 4}} << "2:1 1:2 2:3 1:4"
        << "1:2 1:4 2:1 2:3" << "";
    QTest::newRow("no stroke index is refused")
        << AddedPoints{{-1, 1, 1}, {2, 1, 1}, {0, 5, 5}} << "5:5" << "5:5" << "";
    QTest::newRow("not finite is refused")
        << AddedPoints{{0, NaN, 1}, {0, 1, Inf}, {1, -Inf, 1}, {1, 4, 4}} << "" << "" << "4:4";
    QTest::newRow("negative forces of a PULL test")
        << AddedPoints{{0, 0, -1}, {0, 1, -5}} << "0:-1 1:-5" << "0:-1 1:-5" << "";
}

void TestTestCurves::holdsFiniteStrokePointsInAcquisitionOrder()
{
    QFETCH(AddedPoints, added);
    QFETCH(QString, forward);
    QFETCH(QString, forwardSorted);
    QFETCH(QString, back);

    TestCurves curves;
    int accepted = 0;
    for (const Added &a : added) {
        const bool expected = TestCurves::isStroke(a.stroke) && std::isfinite(a.distance)
                              && std::isfinite(a.force);
        QCOMPARE(curves.add(a.stroke, a.distance, a.force), expected);
        accepted += expected;
    }
    QCOMPARE(text(curves.points(TestCurves::Forward)), forward);
    QCOMPARE(text(curves.sortedByDistance(TestCurves::Forward)), forwardSorted);
    QCOMPARE(text(curves.points(TestCurves::Return)), back);
    QCOMPARE(curves.size(TestCurves::Forward) + curves.size(TestCurves::Return), accepted);
    QCOMPARE(curves.isEmpty(), accepted == 0);
}

void TestTestCurves::clearEmptiesBothStrokes()
{
    TestCurves curves;
    curves.add(TestCurves::Forward, 1, 1);
    curves.add(TestCurves::Return, 1, 1);
    TestCurves copy = curves;
    curves.clear();
    QVERIFY(curves.isEmpty());
    QVERIFY(curves == TestCurves());
    QVERIFY(copy != curves);
}

void TestTestCurves::holdsSinglePrecisionPairs_data()
{
    QTest::addColumn<double>("given");
    QTest::addColumn<bool>("held");
    QTest::addColumn<double>("reads");

    constexpr double FloatMax = std::numeric_limits<float>::max();
    // What the line carries comes back bit for bit.
    QTest::newRow("a float from the line") << double(1234.5677f) << true << double(1234.5677f);
    QTest::newRow("the largest float") << FloatMax << true << FloatMax;
    QTest::newRow("a double rounds to the nearest float") << 0.1 << true << double(0.1f);
    // There is no float to round these to: held, they would be infinite.
    QTest::newRow("beyond single precision") << 1e39 << false << 0.0;
    QTest::newRow("just beyond the largest float") << -FloatMax * 1.0000001 << false << 0.0;
}

void TestTestCurves::holdsSinglePrecisionPairs()
{
    QFETCH(double, given);
    QFETCH(bool, held);
    QFETCH(double, reads);
    QCOMPARE(TestCurves::isFinitePoint(given, 1), held);
    QCOMPARE(TestCurves::isFinitePoint(1, given), held);
    TestCurves curves;
    QCOMPARE(curves.add(TestCurves::Forward, given, given), held);
    QCOMPARE(curves.size(TestCurves::Forward), held ? 1 : 0);
    if (held) {
        const TestCurves::Point point = curves.points(TestCurves::Forward).first();
        QCOMPARE(double(point.distance), reads);
        QCOMPARE(double(point.force), reads);
    }
}

QTEST_GUILESS_MAIN(TestTestCurves)
#include "tst_testcurves.moc"
