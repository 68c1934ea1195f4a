#include "bench/recordsbench.h"

#include "bench/acquisitionrun.h"
#include "bench/report.h"
#include "records/audittrail.h"
#include "records/labroles.h"
#include "records/recordsdatabase.h"
#include "records/testrecorder.h"
#include "support/postgrescluster.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QVariant>
#include <QWidget>

#include <memory>

namespace {

constexpr int StopToDiskPoints = 100000;
constexpr double StopToDiskGoalSeconds = 0.3;
// 100,000 points in one second, 86 times the line's rate.
constexpr int HandTicks = 100;
constexpr int HandTickMs = 10;
constexpr int StationTests = 200;
constexpr int PointsPerStationTest = 600;
constexpr int WaitTimeoutMs = 120000;
const char BenchConnection[] = "torvelin-bench-records";

TestHeader headerFor(const QString &station, int serial)
{
    TestHeader header = TestHeader::startingNow();
    header.station = station;
    header.identity = {QStringLiteral("bench"), QStringLiteral("SP-20"), QStringLiteral("B1"),
                       QString::number(serial)};
    return header;
}

void handSpringTest(TestRecorder *recorder, int points)
{
    const int forward = points / 2;
    for (int i = 0; i < points; ++i) {
        const bool back = i >= forward;
        const double distance = back ? (points - i) * 0.001 : i * 0.001;
        recorder->addPoint(back ? 1 : 0, distance, distance * 5.0);
    }
}

// One query's first value, through a connection of the bench's own.
QVariant scalar(const DatabaseConfig &config, const QString &sql)
{
    QVariant value;
    QString error;
    if (RecordsDatabase::open(config, QLatin1String(BenchConnection), &error)) {
        QSqlQuery query(QSqlDatabase::database(QLatin1String(BenchConnection), false));
        if (query.exec(sql) && query.next())
            value = query.value(0);
    }
    RecordsDatabase::close(QLatin1String(BenchConnection));
    return value;
}

// Seconds from the end of a StopToDiskPoints test until it is all on
// disk. Handed in ticks of HandTickMs (the recorder writes as they come), or
// all at once when `atOnce`.
double secondsToDisk(const DatabaseConfig &config, bool atOnce, QString *error)
{
    TestRecorder recorder(config);
    recorder.start();
    bool stored = false;
    QObject::connect(&recorder, &TestRecorder::testStored, [&stored] { stored = true; });
    // Let it open the database first: Start is not when the file is created.
    AcquisitionRun::waitUntil([&] { return recorder.pendingPoints() == 0; }, WaitTimeoutMs);
    recorder.begin(headerFor(QStringLiteral("bench"), 1));
    const int ticks = atOnce ? 1 : HandTicks;
    for (int tick = 0; tick < ticks; ++tick) {
        handSpringTest(&recorder, StopToDiskPoints / ticks);
        if (!atOnce) {
            QElapsedTimer pause;
            pause.start();
            AcquisitionRun::waitUntil([&] { return pause.elapsed() >= HandTickMs; }, WaitTimeoutMs);
        }
    }
    QElapsedTimer clock;
    clock.start();
    recorder.finish();
    if (!AcquisitionRun::waitUntil([&] { return stored; }, WaitTimeoutMs)) {
        *error = QStringLiteral("the test was not on disk after %1 s").arg(WaitTimeoutMs / 1000);
        return 0;
    }
    return clock.nsecsElapsed() / 1e9;
}

// Nothing is deleted here, so each audited table holds as many rows as the
// trail has inserts into it.
void checkEveryInsertAudited(Report *report, const QString &measure, const DatabaseConfig &config)
{
    qint64 rows = 0;
    qint64 unaudited = 0;
    QStringList tables;
    for (const Schema::Table *table : AuditTrail::auditedTables()) {
        const QString name = QLatin1String(table->name);
        const qint64 count = scalar(config, QStringLiteral("SELECT COUNT(*) FROM %1").arg(name)).toLongLong();
        const qint64 audited = scalar(config, QStringLiteral("SELECT COUNT(*) FROM audit_log WHERE action = "
                                                             "'insert' AND table_name = '%1'")
                                                  .arg(name))
                                   .toLongLong();
        rows += count;
        unaudited += qAbs(count - audited);
        if (count > 0)
            tables << QStringLiteral("%1 %2").arg(name).arg(count);
    }
    report->addAtMost(measure, rows > 0 ? unaudited : 1, 0,
                      QStringLiteral("%1 of %2 rows inserted (%3)")
                          .arg(unaudited).arg(rows).arg(tables.join(QStringLiteral(", "))),
                      QStringLiteral("none"));
}

} // namespace

namespace RecordsBench {

void checkWindowRecords(Report *report, const QString &measure, QWidget *window, int plotted)
{
    TestRecorder *recorder = window->findChild<TestRecorder *>();
    if (!recorder) {
        report->addFailure(measure, QStringLiteral("the window has no recorder"));
        return;
    }
    AcquisitionRun::waitUntil([&] { return recorder->pendingPoints() == 0; }, WaitTimeoutMs);
    const int kept = scalar(DatabaseConfig::current(),
                            QStringLiteral("SELECT point_count FROM tests ORDER BY id DESC LIMIT 1"))
                         .toInt();
    report->addAtMost(measure, plotted - kept, 0,
                      QStringLiteral("%1 of %2 plotted points on record").arg(kept).arg(plotted),
                      QStringLiteral("all"));
}

void measureStopToDisk(Report *report, const QString &workDirectory)
{
    PostgresCluster cluster;
    const bool server = cluster.start() && cluster.createRecordsDatabase(QStringLiteral("stop"));
    for (const bool atOnce : {false, true}) {
        DatabaseConfig sqlite;
        sqlite.sqlitePath = workDirectory + QStringLiteral("/stop-to-disk-%1.sqlite").arg(atOnce);
        QString error;
        const double seconds = secondsToDisk(sqlite, atOnce, &error);
        const QString measure = atOnce
            ? QStringLiteral("9. The same, none written before Stop (worst case), SQLite")
            : QStringLiteral("9. A 100,000-point test (handed in 1 s) on disk after Stop, SQLite");
        const QString figure = QStringLiteral("%1 s").arg(seconds, 0, 'f', 3);
        if (!error.isEmpty())
            report->addFailure(measure, error);
        else if (atOnce)
            report->addRow(measure, figure);
        else
            report->addAtMost(measure, seconds, StopToDiskGoalSeconds, figure,
                              QStringLiteral("≤ %1 s").arg(StopToDiskGoalSeconds));
        const QString serverMeasure = atOnce ? QStringLiteral("9. Worst case on PostgreSQL (local server)")
                                             : QStringLiteral("9. On disk after Stop, PostgreSQL (local server)");
        if (!server) {
            report->addFailure(serverMeasure, cluster.errorString());
            continue;
        }
        const double serverSeconds = secondsToDisk(cluster.config(QStringLiteral("stop")), atOnce, &error);
        if (!error.isEmpty())
            report->addFailure(serverMeasure, error);
        else
            report->addRow(serverMeasure, QStringLiteral("%1 s").arg(serverSeconds, 0, 'f', 3));
    }
}

void measureTwoStations(Report *report)
{
    const QString measure = QStringLiteral("10. Two stations, %1 tests each at once, PostgreSQL")
                                .arg(StationTests);
    PostgresCluster cluster;
    if (!cluster.start() || !cluster.createRecordsDatabase(QStringLiteral("lab"))) {
        report->addFailure(measure, cluster.errorString());
        return;
    }
    const DatabaseConfig config = cluster.config(QStringLiteral("lab"));
    std::unique_ptr<TestRecorder> stations[2];
    int stored = 0;
    for (auto &station : stations) {
        station = std::make_unique<TestRecorder>(config);
        QObject::connect(station.get(), &TestRecorder::testStored, [&stored] { ++stored; });
        station->start();
    }
    QElapsedTimer clock;
    clock.start();
    // Both writers run at once, each on its own thread and connection.
    for (int test = 0; test < StationTests; ++test) {
        for (int s = 0; s < 2; ++s) {
            stations[s]->begin(headerFor(QStringLiteral("station-%1").arg(s + 1), test));
            handSpringTest(stations[s].get(), PointsPerStationTest);
            stations[s]->finish();
        }
    }
    const bool done = AcquisitionRun::waitUntil([&] { return stored == 2 * StationTests; }, WaitTimeoutMs);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const int tests = scalar(config, QStringLiteral("SELECT COUNT(*) FROM tests WHERE status = 'complete'")).toInt();
    const qint64 points = scalar(config, QStringLiteral("SELECT COUNT(*) FROM curve_points")).toLongLong();
    // Every test whole: as many rows as its count, numbered without a gap.
    const int whole = scalar(config, QStringLiteral(
                                         "SELECT COUNT(*) FROM (SELECT t.id FROM tests t JOIN curve_points p "
                                         "ON p.test_id = t.id GROUP BY t.id, t.point_count "
                                         "HAVING COUNT(*) = t.point_count AND MAX(p.seq) = t.point_count - 1 "
                                         "AND t.point_count = %1) w").arg(PointsPerStationTest))
                          .toInt();
    const qint64 expectedPoints = qint64(2) * StationTests * PointsPerStationTest;
    const int lost = (2 * StationTests - whole) + int(expectedPoints - points);
    report->addAtMost(measure, done ? lost : 2 * StationTests, 0,
                      QStringLiteral("%1 of %2 tests complete and whole, %3 of %4 points, in %5 s")
                          .arg(tests).arg(2 * StationTests).arg(points).arg(expectedPoints)
                          .arg(seconds, 0, 'f', 1),
                      QStringLiteral("none lost"));
    checkEveryInsertAudited(report, QStringLiteral("10. The same: inserts without their row in the audit trail"),
                            config);
}

bool startLabServer(PostgresCluster *cluster, const QString &database, DatabaseConfig *operatorLogin,
                    QString *error)
{
    const QString login = QStringLiteral("bench_operator");
    if (!cluster->start() || !cluster->createRecordsDatabase(database)
        || !cluster->execute(database, {QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE %2")
                                            .arg(login, LabRoles::Operator)})) {
        *error = cluster->errorString();
        return false;
    }
    *operatorLogin = cluster->config(database, login, QString());
    return true;
}

void checkRecordedAndAudited(Report *report, const QString &measure, TestRecorder *recorder,
                             const DatabaseConfig &admin, int handed)
{
    const bool written = AcquisitionRun::waitUntil(
        [&] { return recorder->pendingPoints() == 0 && !recorder->isTestOpen(); }, WaitTimeoutMs);
    const int kept = scalar(admin, QStringLiteral("SELECT COUNT(*) FROM curve_points WHERE test_id = "
                                                  "(SELECT MAX(id) FROM tests)"))
                         .toInt();
    report->addAtMost(measure, written ? handed - kept : handed, 0,
                      QStringLiteral("%1 of %2 points on record").arg(kept).arg(handed), QStringLiteral("all"));
    checkEveryInsertAudited(report, measure + QStringLiteral(": inserts without their row in the audit trail"),
                            admin);
}

} // namespace RecordsBench
