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

QTEST_GUILESS_MAIN(TestTestCurves)
#include "tst_testcurves.moc"
