#include "widgets/fixedplacement.h"

#include <QtTest>

using Rects = QVector<QRect>;
using Sizes = QVector<QSize>;

class tst_FixedPlacement : public QObject
{
    Q_OBJECT

private slots:
    void place_data();
    void place();
    void containerKeepsItsMargins();
};

void tst_FixedPlacement::place_data()
{
    QTest::addColumn<Rects>("original");
    QTest::addColumn<Sizes>("needed");
    QTest::addColumn<Rects>("placed");

    // A label 10..64 with its field at 70 (gap 6) in the same row.
    const QRect label(10, 70, 54, 12);
    const QRect field(70, 70, 81, 20);
    QTest::newRow("enough room: nothing moves")
        << Rects{label, field} << Sizes{{40, 12}, {81, 20}} << Rects{label, field};
    QTest::newRow("a wider label pushes its field, keeping the gap")
        << Rects{label, field} << Sizes{{100, 12}, {81, 20}}
        << Rects{{10, 70, 100, 12}, {116, 70, 81, 20}};
    QTest::newRow("the push passes along the row")
        << Rects{label, field, {170, 80, 54, 12}} << Sizes{{100, 12}, {81, 20}, {20, 12}}
        << Rects{{10, 70, 100, 12}, {116, 70, 81, 20}, {203, 80, 54, 12}};
    QTest::newRow("a wide gap takes the growth first")
        << Rects{{10, 10, 50, 20}, {200, 10, 50, 20}} << Sizes{{100, 20}, {50, 20}}
        << Rects{{10, 10, 100, 20}, {200, 10, 50, 20}};
    QTest::newRow("another row stays where it is")
        << Rects{label, {70, 200, 81, 20}} << Sizes{{100, 12}, {81, 20}}
        << Rects{{10, 70, 100, 12}, {70, 200, 81, 20}};
    QTest::newRow("a taller label grows about its middle")
        << Rects{{20, 40, 54, 12}} << Sizes{{54, 18}} << Rects{{20, 37, 54, 18}};
    QTest::newRow("growth never goes above the top")
        << Rects{{20, 1, 54, 12}} << Sizes{{54, 18}} << Rects{{20, 0, 54, 18}};
    QTest::newRow("a box that grows down pushes what lies below it")
        << Rects{{10, 80, 261, 101}, {20, 200, 54, 12}} << Sizes{{261, 140}, {54, 12}}
        << Rects{{10, 80, 261, 140}, {20, 226, 54, 12}};
    QTest::newRow("nothing shrinks") << Rects{label} << Sizes{{20, 5}} << Rects{label};
}

void tst_FixedPlacement::place()
{
    QFETCH(Rects, original);
    QFETCH(Sizes, needed);
    QFETCH(Rects, placed);
    QCOMPARE(FixedPlacement::place(original, needed), placed);
}

void tst_FixedPlacement::containerKeepsItsMargins()
{
    // 35 px free at the right and 17 at the bottom, as in a 400 x 300 form.
    const Rects original {{290, 260, 75, 23}};
    QCOMPARE(FixedPlacement::containerSize({400, 300}, original, {{300, 280, 125, 23}}),
             QSize(460, 320));
    QCOMPARE(FixedPlacement::containerSize({400, 300}, original, original), QSize(400, 300));
}

QTEST_MAIN(tst_FixedPlacement)
#include "tst_fixedplacement.moc"
