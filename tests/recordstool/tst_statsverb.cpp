// torvelin-records stats through the real executable, on SQLite and on a
// PostgreSQL server: the database's aggregates against the same figures
// computed from the forces themselves, the JSON's keys and nulls, the
// violations by subgroup from 0, and the readable table; and the batch the
// statistics window reads, every point's figures, subgroups and histogram
// counts from one statement.
#include "records/recordqueries.h"
#include "records/recordsdatabase.h"
#include "records/schema.h"
#include "records/teststore.h"
#include "spc/capability.h"
#include "spc/nelsonrules.h"
#include "support/postgrescluster.h"
#include "recordstoolrun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr double Lower = 5;
constexpr double Upper = 15;
// Two complete subgroups of five (means 11 and 11, s 1.581 and 2.236), an
// incomplete third, and a test that never reached point 1.
const QVector<std::optional<double>> Forces = {10, 12, 11, 9, 13, 11, 10, 12, 14, 8, 10.5, std::nullopt};
// Steady, then one spring far out: rule 1 on the individuals chart at the
// eleventh test (subgroup 10 from 0), the steady ones all below the centre.
const QVector<std::optional<double>> Jump = {10, 10.1, 9.9, 10, 10.1, 9.9, 10, 10.1, 9.9, 10, 13};
// Two points of one part: the second not reached twice in between, so that
// its subgroups are numbered over its own forces, not over the tests.
const QVector<std::optional<double>> FirstOfTwo = {10, 10, 11, 12, 10, 11, 12, 12, 9, 10, 11};
const QVector<std::optional<double>> SecondOfTwo = {20, std::nullopt, 21, 22, 20, 21, std::nullopt, 19, 22, 20, 21};
// The same first point; the fifth test's program had no second point, so it
// holds no row for it at all, and the subgroups close over the gap too.
const QVector<std::optional<double>> SecondOfShort = {20, 21, 21, 22, 20, 21, 20, 19, 22, 20, 21};
constexpr int ShortWithoutSecond = 4;

} // namespace

class tst_StatsVerb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void figuresAreTheForces_data();
    void figuresAreTheForces();
    void violationsBySubgroupFromZero_data() { engines(); }
    void violationsBySubgroupFromZero();
    void noTestsIsNZero_data() { engines(); }
    void noTestsIsNZero();
    void batchOfTwoPointsInOneReading_data();
    void batchOfTwoPointsInOneReading();
    void resultsCarryTheirTestsPartNumber_data();
    void resultsCarryTheirTestsPartNumber();
    void tableWithoutJson();
    void usage();

private:
    void engines();
    bool fill(const QString &connection);
    QJsonObject stats(const QString &db, const QStringList &more);

    QTemporaryDir m_dir;
    PostgresCluster m_cluster;
    QString m_sqlite;
    QString m_postgres;
};

bool tst_StatsVerb::fill(const QString &connection)
{
    TestStore store(QSqlDatabase::database(connection, false));
    const QDateTime first(QDate(2026, 12, 8), QTime(8, 0), Qt::UTC);
    int n = 0;
    auto add = [&](const QString &part, std::optional<double> force, std::optional<double> second = 0.0,
                   bool withSecond = false) {
        TestHeader header;
        header.startedAt = first.addSecs(60 * n++);
        header.identity = {QStringLiteral("Wang"), part, QStringLiteral("B1"), QString::number(n)};
        header.station = QStringLiteral("bench-1");
        qint64 id = 0;
        EvaluationRecord e;
        e.judged = true;
        e.programNumber = 1;
        e.verdict = Verdict::Pass;
        e.points = {{1, 5, force, Lower, Upper, force ? Verdict::Pass : Verdict::NotReached}};
        if (withSecond)
            e.points.append({2, 10, second, 2 * Lower, 2 * Upper, second ? Verdict::Pass : Verdict::NotReached});
        return store.insertTest(header, &id) && store.finishTest(id, header.startedAt.addSecs(10), e);
    };
    for (const auto &force : Forces) {
        if (!add(QStringLiteral("SP-20"), force))
            return false;
    }
    for (const auto &force : Jump) {
        if (!add(QStringLiteral("SP-JUMP"), force))
            return false;
    }
    for (int i = 0; i < FirstOfTwo.size(); ++i) {
        if (!add(QStringLiteral("SP-TWO"), FirstOfTwo.at(i), SecondOfTwo.at(i), true)
            || !add(QStringLiteral("SP-SHORT"), FirstOfTwo.at(i), SecondOfShort.at(i), i != ShortWithoutSecond))
            return false;
    }
    return true;
}

void tst_StatsVerb::initTestCase()
{
    QVERIFY(QFileInfo(qEnvironmentVariable("TORVELIN_RECORDS")).isExecutable());
    m_sqlite = m_dir.filePath(QStringLiteral("records.sqlite"));
    DatabaseConfig sqlite;
    sqlite.sqlitePath = m_sqlite;
    QString error;
    QVERIFY2(RecordsDatabase::open(sqlite, QStringLiteral("sqlite"), &error), qPrintable(error));
    QVERIFY(fill(QStringLiteral("sqlite")));

    QVERIFY2(m_cluster.start(), qPrintable(m_cluster.errorString()));
    QVERIFY2(m_cluster.createRecordsDatabase(QStringLiteral("lab")), qPrintable(m_cluster.errorString()));
    const DatabaseConfig postgres = m_cluster.config(QStringLiteral("lab"));
    QVERIFY2(RecordsDatabase::open(postgres, QStringLiteral("postgres"), &error), qPrintable(error));
    QVERIFY(fill(QStringLiteral("postgres")));
    m_postgres = databaseUrl(postgres);
}

void tst_StatsVerb::cleanupTestCase()
{
    RecordsDatabase::close(QStringLiteral("sqlite"));
    RecordsDatabase::close(QStringLiteral("postgres"));
}

void tst_StatsVerb::engines()
{
    QTest::addColumn<QString>("db");
    QTest::newRow("sqlite") << m_sqlite;
    QTest::newRow("postgresql") << m_postgres;
}

QJsonObject tst_StatsVerb::stats(const QString &db, const QStringList &more)
{
    const RecordsToolRun run = RecordsToolRun::of(QStringList{"stats", "--db", db, "--json"} + more);
    if (run.exitCode != 0)
        qWarning("%s", qPrintable(run.err));
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &parsed);
    return run.exitCode == 0 && parsed.error == QJsonParseError::NoError ? document.object() : QJsonObject();
}

void tst_StatsVerb::figuresAreTheForces_data()
{
    QTest::addColumn<QString>("db");
    QTest::addColumn<int>("size");
    for (int size : {5, 2, 1}) {
        QTest::addRow("sqlite, subgroups of %d", size) << m_sqlite << size;
        QTest::addRow("postgresql, subgroups of %d", size) << m_postgres << size;
    }
}

// What the database aggregates is what the SPC functions make of the
// forces themselves.
void tst_StatsVerb::figuresAreTheForces()
{
    QFETCH(QString, db);
    QFETCH(int, size);
    const QJsonObject o = stats(db, {"--part", "SP-20", "--point", "1", "--subgroup", QString::number(size)});
    QVERIFY(!o.isEmpty());
    QVector<double> forces;
    for (const auto &force : Forces) {
        if (force)
            forces << *force;
    }
    const Spc::ControlChart chart = Spc::controlChart(Spc::subgroupsOf(forces, size), size);
    const double mean = 120.5 / 11;
    double squares = 0;
    for (double f : forces)
        squares += (f - mean) * (f - mean);
    const double s = std::sqrt(squares / 10);
    const Spc::Capability c = Spc::capability(mean, s, chart.sigmaWithin, Lower, Upper);
    auto near = [](const QJsonValue &value, double expected) {
        return value.isDouble() && qAbs(value.toDouble() - expected) < 1e-9 * qMax(1.0, qAbs(expected));
    };
    QCOMPARE(o.value("n").toInt(), 11);
    QCOMPARE(o.value("subgroup_size").toInt(), size);
    QVERIFY(near(o.value("mean"), mean));
    QVERIFY(near(o.value("s"), s));
    QVERIFY(near(o.value("min"), 8));
    QVERIFY(near(o.value("max"), 14));
    QVERIFY(near(o.value("pp"), *c.pp));
    QVERIFY(near(o.value("ppk"), *c.ppk));
    QVERIFY(near(o.value("cp"), *c.cp));
    QVERIFY(near(o.value("cpk"), *c.cpk));
    const QString location = size == 1 ? "i_chart" : "xbar_chart";
    const QString spread = size == 1 ? "mr_chart" : "s_chart";
    QVERIFY(!o.contains(size == 1 ? "xbar_chart" : "i_chart"));
    const QJsonObject x = o.value(location).toObject();
    const QJsonObject r = o.value(spread).toObject();
    QVERIFY(near(x.value("center"), chart.locationLimits->center));
    QVERIFY(near(x.value("ucl"), chart.locationLimits->upper));
    QVERIFY(near(x.value("lcl"), chart.locationLimits->lower));
    QVERIFY(near(r.value("ucl"), chart.spreadLimits->upper));
    QVERIFY(near(r.value("lcl"), chart.spreadLimits->lower));
    const QJsonArray points = x.value("points").toArray();
    const QJsonArray spreads = r.value("points").toArray();
    QCOMPARE(points.size(), forces.size() / size); // the incomplete last subgroup left out
    QCOMPARE(spreads.size(), points.size());
    for (int i = 0; i < points.size(); ++i) {
        QVERIFY(near(points.at(i), chart.location.at(i)));
        if (chart.spread.at(i))
            QVERIFY(near(spreads.at(i), *chart.spread.at(i)));
        else
            QVERIFY(spreads.at(i).isNull()); // the first moving range
    }
    if (size == 5) {
        // By hand: s̄ = (1.5811 + 2.2361) / 2, σ = s̄ / 0.940.
        QVERIFY(qAbs(o.value("cp").toDouble() - 10 / (6 * (std::sqrt(2.5) + std::sqrt(5.0)) / 2 / 0.940)) < 1e-9);
    }
}

void tst_StatsVerb::violationsBySubgroupFromZero()
{
    QFETCH(QString, db);
    const QJsonObject o = stats(db, {"--part", "SP-JUMP", "--point", "1", "--subgroup", "1"});
    // The first ten lie below the centre (10.18): nine in a row at the
    // ninth and tenth; then the jump.
    const QJsonArray nelson{QJsonObject{{"rule", 2}, {"subgroup", 8}}, QJsonObject{{"rule", 2}, {"subgroup", 9}},
                            QJsonObject{{"rule", 1}, {"subgroup", 10}}};
    QCOMPARE(o.value("violations").toArray(), nelson);
    QCOMPARE(o.value("frozen").toBool(), false);
    const QJsonObject one = stats(db, {"--part", "SP-JUMP", "--point", "1", "--subgroup", "1", "--rules", "1"});
    QCOMPARE(one.value("violations").toArray(), (QJsonArray{QJsonObject{{"rule", 1}, {"subgroup", 10}}}));
}

void tst_StatsVerb::noTestsIsNZero()
{
    QFETCH(QString, db);
    const QJsonObject o = stats(db, {"--part", "SP-99", "--point", "1"});
    QCOMPARE(o.value("n").toInt(-1), 0);
    for (const char *key : {"mean", "s", "min", "max", "pp", "ppk", "cp", "cpk"})
        QVERIFY2(o.value(key).isNull(), key);
    const QJsonObject x = o.value("xbar_chart").toObject();
    QVERIFY(x.value("center").isNull() && x.value("ucl").isNull() && x.value("lcl").isNull());
    QCOMPARE(x.value("points").toArray(), QJsonArray());
    QCOMPARE(o.value("violations").toArray(), QJsonArray());
}

void tst_StatsVerb::batchOfTwoPointsInOneReading_data()
{
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("part");
    QTest::addColumn<int>("withoutSecond"); // the test with no row for point 2, or -1
    for (const char *engine : {"sqlite", "postgres"}) {
        QTest::addRow("%s, not reached in between", engine) << QString::fromLatin1(engine) << QStringLiteral("SP-TWO") << -1;
        QTest::addRow("%s, a test without the point", engine) << QString::fromLatin1(engine) << QStringLiteral("SP-SHORT") << ShortWithoutSecond;
    }
}

void tst_StatsVerb::batchOfTwoPointsInOneReading()
{
    QFETCH(QString, connection);
    QFETCH(QString, part);
    QFETCH(int, withoutSecond);
    RecordQueries::Batch batch;
    batch.subgroupSize = 2;
    HistoryFilter filter;
    filter.partNumber = part;
    QString error;
    QVERIFY2(RecordQueries::loadBatch(QSqlDatabase::database(connection, false), filter, &batch, &error),
             qPrintable(error));
    QCOMPARE(batch.points.size(), 2);
    for (int point = 1; point <= 2; ++point) {
        QVector<double> forces;
        QMap<double, int> counts;
        const QVector<std::optional<double>> &series =
            point == 1 ? FirstOfTwo : part == QLatin1String("SP-TWO") ? SecondOfTwo : SecondOfShort;
        int rows = 0;
        for (int i = 0; i < series.size(); ++i) {
            if (point == 2 && i == withoutSecond)
                continue;
            ++rows;
            if (const auto &force = series.at(i)) {
                forces << *force;
                ++counts[*force];
            }
        }
        const BatchStatistics::PointSummary *summary = batch.point(point);
        QVERIFY(summary);
        QCOMPARE(summary->n, forces.size());
        QCOMPARE(summary->notReached, rows - forces.size());
        QCOMPARE(*summary->upper, point * Upper);
        const QVector<Spc::Subgroup> expected = Spc::subgroupsOf(forces, 2);
        const QVector<Spc::Subgroup> subgroups = batch.subgroups.value(point);
        QCOMPARE(subgroups.size(), expected.size());
        for (int k = 0; k < expected.size(); ++k) {
            QVERIFY2(qAbs(subgroups.at(k).mean - expected.at(k).mean) < 1e-9, qPrintable(QString::number(k)));
            QVERIFY2(qAbs(subgroups.at(k).sd - expected.at(k).sd) < 1e-9, qPrintable(QString::number(k)));
        }
        const QVector<BatchStatistics::ForceCount> histogram = batch.forces.value(point);
        QCOMPARE(histogram.size(), counts.size());
        int i = 0;
        for (auto count = counts.constBegin(); count != counts.constEnd(); ++count, ++i) {
            QCOMPARE(histogram.at(i).force, count.key());
            QCOMPARE(histogram.at(i).count, count.value());
        }
    }
}

void tst_StatsVerb::resultsCarryTheirTestsPartNumber_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgresql") << QStringLiteral("postgres");
}

// A part's statistics read its results by the part number each one carries:
// it must be its test's, however the result was written, after the test's
// part number changed, and for results recorded before results carried it.
void tst_StatsVerb::resultsCarryTheirTestsPartNumber()
{
    QFETCH(QString, engine);
    const bool postgres = engine == QLatin1String("postgres");
    // Recorded by a version that did not keep it.
    const QString name = engine + QStringLiteral("-upgraded");
    QString error;
    {
        DatabaseConfig config;
        if (postgres) {
            QVERIFY2(m_cluster.createDatabase(name), qPrintable(m_cluster.errorString()));
            config = m_cluster.config(name);
        } else {
            config.sqlitePath = m_dir.filePath(name + QStringLiteral(".sqlite"));
        }
        QVERIFY2(RecordsDatabase::connect(config, name, &error), qPrintable(error));
        QSqlDatabase db = QSqlDatabase::database(name, false);
        const int before = Schema::currentVersion() - 1;
        QVERIFY2(RecordsDatabase::migrate(db, &error, before), qPrintable(error));
        QSqlQuery query(db);
        QVERIFY2(query.exec(QStringLiteral("INSERT INTO tests (id, started_at, status, part_number, mode, "
                                           "distance_mode, speed, distance, force_decimals) VALUES "
                                           "(1, '2026-12-08T08:00:00.000Z', 'complete', 'SP-OLD', 0, 0, 100, 12, 2)"))
                     && query.exec(QStringLiteral("INSERT INTO point_results (test_id, point_no, distance, force, "
                                                  "lower, upper, verdict) VALUES (1, 1, 5, 10, 5, 15, 'pass')")),
                 qPrintable(query.lastError().text()));
        QVERIFY2(RecordsDatabase::migrate(db, &error), qPrintable(error));
        if (!postgres) {
            // The bench's file has the trail's triggers once the program opens it.
            query = QSqlQuery();
            db = QSqlDatabase();
            RecordsDatabase::close(name);
            QVERIFY2(RecordsDatabase::open(config, name, &error), qPrintable(error));
            db = QSqlDatabase::database(name, false);
            query = QSqlQuery(db);
        }
        // Written by hand, naming another part.
        QVERIFY2(query.exec(QStringLiteral("INSERT INTO point_results (test_id, point_no, distance, force, lower, "
                                           "upper, verdict, part_number) "
                                           "VALUES (1, 2, 10, 20, 10, 30, 'pass', 'SP-X')")),
                 qPrintable(query.lastError().text()));
        auto partsOfResults = [&] {
            QSqlQuery parts(db);
            QStringList found;
            parts.exec(QStringLiteral("SELECT part_number FROM point_results WHERE test_id = 1 ORDER BY point_no"));
            while (parts.next())
                found << parts.value(0).toString();
            return found;
        };
        QCOMPARE(partsOfResults(), (QStringList{"SP-OLD", "SP-OLD"}));
        QVERIFY2(query.exec(QStringLiteral("UPDATE tests SET part_number = 'SP-NEW' WHERE id = 1")),
                 qPrintable(query.lastError().text()));
        QCOMPARE(partsOfResults(), (QStringList{"SP-NEW", "SP-NEW"}));
        RecordQueries::Batch batch;
        HistoryFilter filter;
        filter.partNumber = QStringLiteral("SP-NEW");
        QVERIFY2(RecordQueries::loadBatch(db, filter, &batch, &error), qPrintable(error));
        QCOMPARE(batch.points.size(), 2);
        QCOMPARE(*batch.points.at(1).mean, 20.0);
        filter.partNumber = QStringLiteral("SP-OLD");
        QVERIFY2(RecordQueries::loadBatch(db, filter, &batch, &error), qPrintable(error));
        QCOMPARE(batch.points.size(), 0);
    }
    RecordsDatabase::close(name);
}

void tst_StatsVerb::tableWithoutJson()
{
    const RecordsToolRun run =
        RecordsToolRun::of({"stats", "--db", m_sqlite, "--part", "SP-JUMP", "--point", "1", "--subgroup", "1"});
    QCOMPARE(run.exitCode, 0);
    for (const char *words : {"Pp, Ppk (overall s)", "Cp, Cpk (σ within)", "I chart", "MR chart",
                              "rule 1 at subgroup 10 (from 0)"})
        QVERIFY2(run.out.contains(QString::fromUtf8(words)), qPrintable(run.out));
}

void tst_StatsVerb::usage()
{
    for (const QStringList &wrong : {QStringList{"--point", "1"}, QStringList{"--part", "SP-20", "--point", "0"},
                                     QStringList{"--part", "SP-20", "--point", "1", "--subgroup", "11"},
                                     QStringList{"--part", "SP-20", "--point", "1", "--rules", "9"}}) {
        const RecordsToolRun run = RecordsToolRun::of(QStringList{"stats", "--db", m_sqlite} + wrong);
        QVERIFY2(run.exitCode == 2, qPrintable(wrong.join(' ') + ": " + run.err));
    }
}

QTEST_GUILESS_MAIN(tst_StatsVerb)
#include "tst_statsverb.moc"
