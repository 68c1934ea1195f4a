#include "bench/labscalebench.h"

#include "bench/report.h"
#include "history/historymodel.h"
#include "history/historywindow.h"
#include "history/statisticswindow.h"
#include "qdas/dfqexport.h"
#include "records/recordqueries.h"
#include "records/recordsdatabase.h"
#include "support/postgrescluster.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QtTest/QTest>

#include <algorithm>

namespace {

const char Database[] = "lab";
const char Connection[] = "lab-scale-bench";
constexpr int Runs = 3;
constexpr double HistoryGoalSeconds = 1.0;
constexpr double StatisticsGoalSeconds = 0.5;
constexpr double ExportGoalSeconds = 2.0;
// The part and batch measured: 100,000 tests of the part, 10,000 of them in
// the batch (tests are numbered in turn over the parts, a batch a tenth of
// the whole).
const char MeasuredPart[] = "SP-3";
const char MeasuredBatch[] = "B7";
// A lab's server keeps a quarter of its memory as shared buffers; this is a
// quarter of a small one's 4 GB.
const char LabSharedBuffers[] = "1GB";

// Every row made by the server from generate_series; the triggers (audit
// trail, the server's stamps, the results' part numbers) are for stations'
// writes, not for a bulk load, and are left out for it: the load writes
// what they would.
QStringList generation()
{
    const QString n = QString::number(LabScaleBench::TestCount);
    const QString program = QStringLiteral(
        R"('{"number": 1, "points": [{"distance": 2, "force": 10, "lower": 9.5, "upper": 10.5}, )"
        R"({"distance": 4, "force": 20, "lower": 19.5, "upper": 20.5}, )"
        R"({"distance": 6, "force": 30, "lower": 29.5, "upper": 30.5}], "spring": {"rate": 5}}')");
    return {
        QStringLiteral("SET session_replication_role = replica"),
        QStringLiteral(
            "INSERT INTO tests (id, started_at, finished_at, status, \"operator\", part_number, batch, "
            "serial_number, station, mode, distance_mode, speed, distance, force_decimals, program_number, "
            "program_source, program, verdict, max_force, record_uid) "
            "SELECT g, to_char(timestamp '2024-01-01' + g * interval '1 minute', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), "
            "to_char(timestamp '2024-01-01' + g * interval '1 minute' + interval '12 seconds', "
            "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), 'complete', 'Operator ' || (g % 3), "
            "'SP-' || (g % %1), 'B' || (g * 10 / %2), 'S-' || g, 'bench-' || (g % 4), 0, 0, 100, 12, 2, 1, "
            "'machine', %3, CASE WHEN g % 97 = 0 THEN 'fail' ELSE 'pass' END, 31.0, 'uid-' || g "
            "FROM generate_series(1, %2) g")
            .arg(LabScaleBench::Parts)
            .arg(n, program),
        QStringLiteral("SELECT setval(pg_get_serial_sequence('tests', 'id'), %1)").arg(n),
        // Forces as the tester reports them, with its two decimals.
        QStringLiteral(
            "INSERT INTO point_results (test_id, point_no, distance, force, lower, upper, verdict, part_number) "
            "SELECT t, p, 2.0 * p, f, 10.0 * p - 0.5, 10.0 * p + 0.5, "
            "CASE WHEN f BETWEEN 10.0 * p - 0.5 AND 10.0 * p + 0.5 THEN 'pass' ELSE 'fail' END, 'SP-' || (t % %3) "
            "FROM (SELECT t, p, round((10.0 * p + (random() + random() + random() - 1.5) * 0.3)::numeric, 2)::float8 AS f "
            "FROM generate_series(1, %1) t, generate_series(1, %2) p) x")
            .arg(n)
            .arg(LabScaleBench::PointsPerTest)
            .arg(LabScaleBench::Parts),
        QStringLiteral(
            "INSERT INTO test_rates (test_id, segment_no, from_point, to_point, rate) "
            "SELECT t, s, s, s + 1, round((5 + (random() - 0.5) * 0.2)::numeric, 3)::float8 "
            "FROM generate_series(1, %1) t, generate_series(1, %2) s")
            .arg(n)
            .arg(LabScaleBench::PointsPerTest - 1),
        QStringLiteral(
            "INSERT INTO curve_points (test_id, stroke, seq, distance, force) "
            "SELECT t, CASE WHEN s < %3 THEN 0 ELSE 1 END, s, d, d * 5 "
            "FROM (SELECT t, s, 0.06 * CASE WHEN s < %3 THEN s ELSE %4 - s END AS d "
            "FROM generate_series(%1 - %2 + 1, %1) t, generate_series(0, %4) s) x")
            .arg(n)
            .arg(LabScaleBench::TestsWithCurves)
            .arg(LabScaleBench::CurvePointsPerTest / 2)
            .arg(LabScaleBench::CurvePointsPerTest - 1),
        QStringLiteral("UPDATE tests SET point_count = %1 WHERE id > %2 - %3")
            .arg(LabScaleBench::CurvePointsPerTest)
            .arg(n)
            .arg(LabScaleBench::TestsWithCurves),
        QStringLiteral("SET session_replication_role = DEFAULT"),
        QStringLiteral("VACUUM ANALYZE"),
    };
}

bool generate(const QSqlDatabase &db, QString *error)
{
    QSqlQuery query(db);
    for (const QString &statement : generation()) {
        if (!query.exec(statement)) {
            *error = query.lastError().text();
            return false;
        }
    }
    return true;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

QString ratio(double seconds, double goal)
{
    return QStringLiteral("%1 of the goal (%2 s)")
        .arg(seconds / goal, 0, 'f', 2)
        .arg(seconds, 0, 'f', 3);
}

// The statistics window on one part: counts, figures, subgroups and
// histogram of each point, its control chart drawn; and the database's share
// of it.
void measureStatistics(const QSqlDatabase &reader, const HistoryFilter &part, const QString &title, Report *report)
{
    QElapsedTimer clock;
    QString error;
    QVector<double> statistics;
    int tests = 0;
    for (int run = 0; run < Runs && reader.isValid(); ++run) {
        clock.restart();
        StatisticsWindow window(part);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) {
            report->addFailure(title + QStringLiteral(": statistics of a part"),
                               QStringLiteral("the window was never shown"));
            return;
        }
        QApplication::processEvents();
        statistics << clock.nsecsElapsed() / 1e9;
        tests = window.batch().counts.count;
    }
    QVector<double> reading;
    for (int run = 0; run < Runs && reader.isValid(); ++run) {
        clock.restart();
        RecordQueries::Batch batch;
        if (!RecordQueries::loadBatch(reader, part, &batch, &error))
            break;
        reading << clock.nsecsElapsed() / 1e9;
    }
    if (!reading.isEmpty()) {
        report->addRow(title + QStringLiteral(": statistics of a part, reading"),
                       QStringLiteral("%1 s of it (RecordQueries::loadBatch)").arg(median(reading), 0, 'f', 3));
    }
    if (!statistics.isEmpty()) {
        const double seconds = median(statistics);
        report->addAtMost(title + QStringLiteral(": statistics of a part"), seconds / StatisticsGoalSeconds, 1.0,
                          ratio(seconds, StatisticsGoalSeconds) + QStringLiteral(", %L1 tests").arg(tests),
                          QStringLiteral("≤ 1 (0.5 s)"));
    }
}

} // namespace

void LabScaleBench::run(Report *report)
{
    const QString title = QStringLiteral("Lab database of %L1 tests (PostgreSQL)").arg(TestCount);
    PostgresCluster cluster;
    if (!cluster.start() || !cluster.createRecordsDatabase(QLatin1String(Database))) {
        report->addFailure(title, cluster.errorString());
        return;
    }
    const DatabaseConfig config = cluster.config(QLatin1String(Database));
    QString error;
    QElapsedTimer clock;
    clock.start();
    const bool opened = RecordsDatabase::open(config, QLatin1String(Connection), &error);
    if (!opened || !generate(QSqlDatabase::database(QLatin1String(Connection), false), &error)) {
        report->addFailure(title + QStringLiteral(": generated"), error);
        RecordsDatabase::close(QLatin1String(Connection));
        return;
    }
    RecordsDatabase::close(QLatin1String(Connection));
    report->addRow(title + QStringLiteral(": generated by the server"),
                   QStringLiteral("%1 s: %L2 tests, %L3 point results, %L4 rates, %L5 curve points")
                       .arg(clock.nsecsElapsed() / 1e9, 0, 'f', 1)
                       .arg(TestCount)
                       .arg(qint64(TestCount) * PointsPerTest)
                       .arg(qint64(TestCount) * (PointsPerTest - 1))
                       .arg(qint64(TestsWithCurves) * CurvePointsPerTest));

    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setHost(config.host);
    url.setPort(config.port);
    url.setUserName(config.user);
    url.setPath(QLatin1Char('/') + config.database);
    const QByteArray previous = qgetenv("TORVELIN_DB");
    qputenv("TORVELIN_DB", url.toString().toUtf8());

    // Records → History, unfiltered: from the command to the window on
    // screen with its first rows, the reader's connection open already
    // (the station has used it before).
    QString failure;
    QSqlDatabase reader = RecordsDatabase::forCurrentThread(&failure);
    QVector<double> history;
    int listed = 0;
    for (int run = 0; run < Runs && reader.isValid(); ++run) {
        clock.restart();
        HistoryWindow window;
        window.show();
        const bool shown = QTest::qWaitForWindowExposed(&window);
        QApplication::processEvents();
        history << clock.nsecsElapsed() / 1e9;
        listed = window.model()->rowCount();
        if (!shown)
            failure = QStringLiteral("the window was never shown");
    }
    if (history.isEmpty() || !failure.isEmpty()) {
        report->addFailure(title + QStringLiteral(": History opens"), failure);
    } else {
        const double seconds = median(history);
        report->addAtMost(title + QStringLiteral(": History opens"), seconds / HistoryGoalSeconds, 1.0,
                          ratio(seconds, HistoryGoalSeconds)
                              + QStringLiteral(", %L1 rows fetched").arg(listed),
                          QStringLiteral("≤ 1 (1 s)"));
    }

    HistoryFilter part;
    part.partNumber = QLatin1String(MeasuredPart);
    measureStatistics(reader, part, title, report);

    // The part's batch as a Q-DAS file: read, made, in Windows-1252.
    HistoryFilter batch = part;
    batch.batch = QLatin1String(MeasuredBatch);
    QVector<double> exports;
    int exported = 0;
    qint64 bytes = 0;
    for (int run = 0; run < Runs && reader.isValid(); ++run) {
        clock.restart();
        QVector<StoredTest> stored;
        QByteArray file;
        if (!RecordQueries::loadTests(reader, batch, &stored, &error)
            || !DfqExport::file(batch.partNumber, stored, Dfq::Encoding::Windows1252, &file, &error)) {
            report->addFailure(title + QStringLiteral(": Q-DAS export"), error);
            break;
        }
        exports << clock.nsecsElapsed() / 1e9;
        exported = stored.size();
        bytes = file.size();
    }
    if (exports.size() == Runs) {
        const double seconds = median(exports);
        report->addAtMost(title + QStringLiteral(": Q-DAS export"), seconds / ExportGoalSeconds, 1.0,
                          ratio(seconds, ExportGoalSeconds)
                              + QStringLiteral(", %L1 tests, %L2 bytes").arg(exported).arg(bytes),
                          QStringLiteral("≤ 1 (2 s)"));
    }

    // The same statistics on a server set up as a lab's is: PostgreSQL's
    // default keeps 128 MB of pages, less than the index a part's point
    // results are read from, so every read of it above fetches most of its
    // pages from the operating system's cache again.
    if (reader.isValid()) {
        reader = QSqlDatabase();
        RecordsDatabase::closeForCurrentThread();
        cluster.setServerOption(QStringLiteral("shared_buffers"), QLatin1String(LabSharedBuffers));
        if (!cluster.stop() || !cluster.start()) {
            report->addFailure(title + QStringLiteral(": restarted"), cluster.errorString());
        } else {
            reader = RecordsDatabase::forCurrentThread(&failure);
            measureStatistics(reader, part,
                              title + QStringLiteral(", shared_buffers %1").arg(QLatin1String(LabSharedBuffers)),
                              report);
        }
    }
    if (previous.isNull())
        qunsetenv("TORVELIN_DB");
    else
        qputenv("TORVELIN_DB", previous);
}
