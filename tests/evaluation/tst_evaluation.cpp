#include "evaluation/evaluation.h"
#include "evaluation/resultjson.h"
#include "support/curvesof.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

using Points = QVector<QPointF>;

Points line(double from, double to, double step, double rate, double offset = 0)
{
    Points points;
    const int count = int(std::lround(std::fabs(to - from) / step));
    for (int i = 0; i <= count; ++i) {
        const double d = from + (to > from ? i : -i) * step;
        points.append(QPointF(d, offset + rate * d));
    }
    return points;
}

// Points of a program: distance, nominal force, lower, upper, tolerance %.
using ProgramRows = QVector<QVector<double>>;

TestProgram programOf(const ProgramRows &rows)
{
    TestProgram program;
    for (const QVector<double> &r : rows)
        program.points.append(TestPoint{r.at(0), r.at(1), r.at(2), r.at(3), r.at(4), {}});
    return program;
}

QString value(const std::optional<double> &v)
{
    return v ? QString::number(*v, 'g', 10) : QStringLiteral("-");
}

// The whole evaluation in one line, so that a failing row shows all of it.
QString summary(const Evaluation &e)
{
    QStringList parts;
    for (const PointResult &p : e.points) {
        parts.append(QStringLiteral("%1@%2=%3 [%4,%5] %6")
                         .arg(p.number)
                         .arg(p.distance)
                         .arg(value(p.force))
                         .arg(p.limits.lower)
                         .arg(p.limits.upper)
                         .arg(QString::fromLatin1(Verdicts::key(p.verdict).toLatin1())));
    }
    QStringList rates;
    for (const std::optional<double> &r : e.rates)
        rates.append(value(r));
    parts.append(QStringLiteral("rates %1").arg(rates.join(QLatin1Char(' '))));
    parts.append(QStringLiteral("fit %1").arg(value(e.rateFit)));
    parts.append(QStringLiteral("max %1").arg(value(e.maxForce)));
    parts.append(QStringLiteral("hysteresis %1").arg(value(e.hysteresisPercent)));
    parts.append(e.passed() ? QStringLiteral("PASS") : QStringLiteral("FAIL"));
    return parts.join(QStringLiteral(" | "));
}

} // namespace

class TestEvaluation : public QObject
{
    Q_OBJECT

private slots:
    void judgesKnownCurves_data();
    void judgesKnownCurves();
    void limitsOfAPoint_data();
    void limitsOfAPoint();
    void jsonLineKeepsFullPrecision();
    void verdictKeysReadBack_data();
    void verdictKeysReadBack();
};

void TestEvaluation::judgesKnownCurves_data()
{
    QTest::addColumn<Points>("forward");
    QTest::addColumn<Points>("back");
    QTest::addColumn<ProgramRows>("program");
    QTest::addColumn<QString>("expected");

    const ProgramRows linearProgram{{2, 10, 9.5, 10.5, 0}, {0, 0, 0, 0, 0}, {4, 20, 19, 21, 0},
                                    {7, 35, 30, 34, 0}};
    QTest::newRow("exact linear spring, an unused slot skipped")
        << line(0, 10, 0.5, 5) << line(10, 0, 0.5, 5) << linearProgram
        << "1@2=10 [9.5,10.5] pass | 3@4=20 [19,21] pass | 4@7=35 [30,34] fail"
           " | rates 5 5 | fit 5 | max 50 | hysteresis 0 | FAIL";
    QTest::newRow("square hysteresis loop")
        << line(0, 10, 1, 0, 10) << line(10, 0, 1, 0, 5) << ProgramRows{{5, 10, 0, 0, 10}}
        << "1@5=10 [9,11] pass | rates  | fit - | max 10 | hysteresis 50 | PASS";
    QTest::newRow("PULL test with negative forces")
        << line(0, 10, 1, -4) << line(10, 0, 1, -3)
        << ProgramRows{{2.5, -10, 0, 0, 10}, {5, -20, -19, -21, 5}}
        << "1@2.5=-10 [-11,-9] pass | 2@5=-20 [-21,-19] pass | rates -4 | fit -4 | max -40"
           " | hysteresis 25 | PASS";
    QTest::newRow("stroke stops short: not reached fails")
        << line(0, 5, 1, 2) << Points{} << ProgramRows{{4, 8, 7, 9, 0}, {8, 16, 15, 17, 0}}
        << "1@4=8 [7,9] pass | 2@8=- [15,17] not reached | rates - | fit 2 | max 10"
           " | hysteresis - | FAIL";
    QTest::newRow("distances jitter backwards: the first bracketing pair counts")
        << Points{{0, 0}, {1, 10}, {2, 20}, {1.5, 5}, {2.5, 25}} << Points{}
        << ProgramRows{{1.75, 17.5, 17, 18, 0}}
        << "1@1.75=17.5 [17,18] pass | rates  | fit - | max 25 | hysteresis - | PASS";
    QTest::newRow("a point exactly on a measured distance")
        << Points{{0, 0}, {3, 7}, {6, 14}} << Points{} << ProgramRows{{3, 7, 7, 7.5, 0}}
        << "1@3=7 [7,7.5] pass | rates  | fit - | max 14 | hysteresis - | PASS";
    // The machine parameter page shows 0 there (its test); no rate either way.
    QTest::newRow("two points at one distance have no rate between them")
        << line(0, 10, 1, 3) << Points{} << ProgramRows{{4, 12, 11, 13, 0}, {4, 12, 11, 13, 0}, {6, 18, 17, 19, 0}}
        << "1@4=12 [11,13] pass | 2@4=12 [11,13] pass | 3@6=18 [17,19] pass | rates - 3 | fit 3 | max 30"
           " | hysteresis - | PASS";
    QTest::newRow("no curves at all")
        << Points{} << Points{} << ProgramRows{{3, 7, 6, 8, 0}}
        << "1@3=- [6,8] not reached | rates  | fit - | max - | hysteresis - | FAIL";
    QTest::newRow("a program without used points judges nothing and passes nothing")
        << line(0, 10, 1, 1) << Points{} << ProgramRows{{0, 0, 1, 2, 0}}
        << "rates  | fit - | max 10 | hysteresis - | FAIL";
    QTest::newRow("return stroke over part of the range; zero work forward")
        << line(0, 10, 1, 0) << line(10, 5, 1, 3) << ProgramRows{}
        << "rates  | fit - | max 0 | hysteresis - | FAIL";
    QTest::newRow("return stroke over part of the range is interpolated at its ends")
        << line(0, 10, 1, 2) << Points{{7.5, 12}, {2.5, 2}} << ProgramRows{}
        << "rates  | fit - | max 20 | hysteresis 30 | FAIL";
}

void TestEvaluation::judgesKnownCurves()
{
    QFETCH(Points, forward);
    QFETCH(Points, back);
    QFETCH(ProgramRows, program);
    QFETCH(QString, expected);
    QCOMPARE(summary(SpringEvaluation::evaluate(curvesOf(forward, back), programOf(program))),
             expected);
}

void TestEvaluation::limitsOfAPoint_data()
{
    QTest::addColumn<double>("force");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<double>("expectedLower");
    QTest::addColumn<double>("expectedUpper");
    QTest::newRow("own limits when upper > lower") << 10.0 << 9.0 << 12.0 << 50.0 << 9.0 << 12.0;
    QTest::newRow("tolerance when the limits are equal") << 10.0 << 0.0 << 0.0 << 5.0 << 9.5 << 10.5;
    QTest::newRow("tolerance when upper < lower") << 10.0 << 12.0 << 9.0 << 10.0 << 9.0 << 11.0;
    QTest::newRow("negative nominal, ordered") << -20.0 << 0.0 << 0.0 << 10.0 << -22.0 << -18.0;
    QTest::newRow("no tolerance: exactly the nominal") << 4.0 << 0.0 << 0.0 << 0.0 << 4.0 << 4.0;
}

void TestEvaluation::limitsOfAPoint()
{
    QFETCH(double, force);
    QFETCH(double, lower);
    QFETCH(double, upper);
    QFETCH(double, tolerance);
    QFETCH(double, expectedLower);
    QFETCH(double, expectedUpper);
    const ForceLimits limits = TestPoint{1, force, lower, upper, tolerance, {}}.limits();
    QCOMPARE(limits.lower, expectedLower);
    QCOMPARE(limits.upper, expectedUpper);
}

// The keys are what the database's CHECK constraints and old CSV files hold.
void TestEvaluation::verdictKeysReadBack_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("verdict"); // -1: no verdict
    QTest::newRow("pass") << "pass" << int(Verdict::Pass);
    QTest::newRow("fail") << "fail" << int(Verdict::Fail);
    QTest::newRow("not reached") << "not reached" << int(Verdict::NotReached);
    QTest::newRow("NULL column") << QString() << -1;
    QTest::newRow("a translated word") << "PASS" << -1;
    QTest::newRow("padded") << "pass " << -1;
}

void TestEvaluation::verdictKeysReadBack()
{
    QFETCH(QString, key);
    QFETCH(int, verdict);
    const std::optional<Verdict> read = Verdicts::fromKey(key);
    QCOMPARE(read ? int(*read) : -1, verdict);
    if (read)
        QCOMPARE(Verdicts::key(*read), key);
}

void TestEvaluation::jsonLineKeepsFullPrecision()
{
    Evaluation e;
    PointResult p;
    p.number = 1;
    p.distance = 0.1 + 0.2;
    p.force = 1.0 / 3.0;
    p.limits = ForceLimits{-1e-300, 12345678.901234567};
    p.verdict = Verdict::NotReached;
    e.points = {p};
    e.rates = {std::nullopt};
    e.maxForce = -2.5;
    const QByteArray text = ResultJson::line(QStringLiteral("dir/\"odd\".txt"), e);
    QVERIFY2(!text.contains('\n'), text.constData());
    const QJsonObject o = QJsonDocument::fromJson(text).object();
    QCOMPARE(o.value("file").toString(), QStringLiteral("dir/\"odd\".txt"));
    QCOMPARE(o.value("verdict").toString(), QStringLiteral("fail"));
    const QJsonObject point = o.value("points").toArray().at(0).toObject();
    QCOMPARE(point.value("distance").toDouble(), 0.1 + 0.2);
    QCOMPARE(point.value("force").toDouble(), 1.0 / 3.0);
    QCOMPARE(point.value("lower").toDouble(), -1e-300);
    QCOMPARE(point.value("upper").toDouble(), 12345678.901234567);
    QCOMPARE(point.value("verdict").toString(), QStringLiteral("not reached"));
    QVERIFY(o.value("rates").toArray().at(0).isNull());
    QVERIFY(o.value("rate_fit").isNull());
    QCOMPARE(o.value("max_force").toDouble(), -2.5);
    QVERIFY(o.value("hysteresis_percent").isNull());
    QVERIFY(text.startsWith("{\"file\": "));
}

QTEST_GUILESS_MAIN(TestEvaluation)
#include "tst_evaluation.moc"
