#include "bench/historybench.h"

#include "bench/report.h"
#include "history/historymodel.h"
#include "history/historywindow.h"
#include "records/recordqueries.h"
#include "records/recordsdatabase.h"
#include "records/teststore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest/QTest>

#include <algorithm>
#include <cmath>

namespace {

const char Connection[] = "history-bench";
constexpr int Parts = 10;
constexpr int BatchesPerPart = 20;
constexpr int StatisticsRuns = 5;
constexpr double WindowBoundSeconds = 1.0;
constexpr double StatisticsBoundSeconds = 0.2;

QString seconds(double value)
{
    return QString::number(value, 'f', 3) + QStringLiteral(" s");
}

// A normally distributed force around the nominal (Box–Muller).
double force(QRandomGenerator *random, double nominal, double spread)
{
    const double u1 = std::max(random->generateDouble(), 1e-12);
    const double u2 = random->generateDouble();
    return nominal + spread * std::sqrt(-2 * std::log(u1)) * std::cos(2 * M_PI * u2);
}

bool fill(const QSqlDatabase &db, QString *error)
{
    QSqlDatabase writable = db;
    TestStore store(writable);
    QRandomGenerator random(14);
    const QDateTime first(QDate(2026, 1, 1), QTime(6, 0), Qt::UTC);
    writable.transaction();
    for (int i = 0; i < HistoryBench::TestCount; ++i) {
        TestHeader header;
        header.startedAt = first.addSecs(i * 60);
        header.identity = {QStringLiteral("Operator %1").arg(i % 3),
                           QStringLiteral("SP-%1").arg(i % Parts),
                           QStringLiteral("B%1").arg(i / Parts % BatchesPerPart),
                           QString::number(i)};
        header.station = QStringLiteral("bench");
        header.line.portName = QStringLiteral("/dev/ttyS0");
        qint64 id = 0;
        if (!store.insertTest(header, &id)) {
            *error = store.lastError();
            return false;
        }
        EvaluationRecord evaluation;
        evaluation.judged = true;
        evaluation.programNumber = 1;
        evaluation.programSource = QStringLiteral("machine");
        bool passed = true;
        for (int p = 1; p <= HistoryBench::PointsPerTest; ++p) {
            const double nominal = 10.0 * p;
            PointResultRecord point;
            point.pointNo = p;
            point.distance = 2.0 * p;
            point.force = force(&random, nominal, 0.2);
            point.lower = nominal - 0.5;
            point.upper = nominal + 0.5;
            const bool inside = *point.force >= point.lower && *point.force <= point.upper;
            point.verdict = Verdicts::of(inside);
            passed = passed && inside;
            evaluation.points << point;
        }
        evaluation.verdict = Verdicts::of(passed);
        evaluation.maxForce = evaluation.points.last().force;
        if (!store.finishTest(id, header.startedAt.addSecs(12), evaluation)) {
            *error = store.lastError();
            return false;
        }
    }
    return writable.commit();
}

} // namespace

void HistoryBench::run(Report *report, const QString &workDirectory)
{
    const QString title = QStringLiteral("History over %L1 tests").arg(TestCount);
    DatabaseConfig config;
    config.engine = DatabaseConfig::SQLite;
    config.sqlitePath = workDirectory + QStringLiteral("/history-bench.sqlite");
    QString error;
    if (!RecordsDatabase::open(config, QLatin1String(Connection), &error)
        || !fill(QSqlDatabase::database(QLatin1String(Connection), false), &error)) {
        report->addFailure(title, error);
        RecordsDatabase::close(QLatin1String(Connection));
        return;
    }
    RecordsDatabase::close(QLatin1String(Connection));
    const QByteArray previous = qgetenv("TORVELIN_DB");
    qputenv("TORVELIN_DB", QFile::encodeName(config.sqlitePath));

    // From the command to a window on screen with its first rows drawn, the
    // reader's first connection included.
    QElapsedTimer clock;
    clock.start();
    {
        HistoryWindow window;
        window.show();
        const bool shown = QTest::qWaitForWindowExposed(&window);
        QApplication::processEvents();
        const double opened = clock.nsecsElapsed() / 1e9;
        if (!shown) {
            report->addFailure(title + QStringLiteral(": window opens"),
                               QStringLiteral("the window was never shown"));
            return;
        }
        report->addAtMost(title + QStringLiteral(": window opens"), opened, WindowBoundSeconds,
                          seconds(opened) + QStringLiteral(", %1 rows listed of %2")
                                                .arg(window.model()->rowCount())
                                                .arg(TestCount),
                          QStringLiteral("≤ 1 s"));
    }

    // Counts and per-point statistics of all tests (50,000 point results):
    // the median of a few runs on a warm connection.
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
    QVector<double> runs;
    RecordQueries::Batch batch;
    for (int i = 0; i < StatisticsRuns && db.isValid(); ++i) {
        clock.restart();
        if (!RecordQueries::loadBatch(db, HistoryFilter(), &batch, &error))
            break;
        runs << clock.nsecsElapsed() / 1e9;
    }
    if (runs.size() != StatisticsRuns) {
        report->addFailure(title + QStringLiteral(": statistics"), error);
    } else {
        std::sort(runs.begin(), runs.end());
        const double median = runs.at(runs.size() / 2);
        report->addAtMost(title + QStringLiteral(": batch statistics"), median, StatisticsBoundSeconds,
                          seconds(median) + QStringLiteral(" (median of %1; %2 tests, %3 pass)")
                                                .arg(StatisticsRuns)
                                                .arg(batch.counts.count)
                                                .arg(batch.counts.passed),
                          QStringLiteral("≤ 0.2 s"));
    }
    if (previous.isNull())
        qunsetenv("TORVELIN_DB");
    else
        qputenv("TORVELIN_DB", previous);
}
