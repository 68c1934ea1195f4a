#include "bench/benchsuite.h"

#include "bench/plotprobe.h"
#include "bench/recordsbench.h"
#include "bench/report.h"
#include "bench/residentmemory.h"
#include "bench/retrycpu.h"
#include "bench/windowdriver.h"
#include "bench/workerreference.h"
#include "curves/testcurves.h"
#include "evaluation/evaluation.h"
#include "mainwindow/mainwindow.h"
#include "records/testrecorder.h"
#include "support/postgrescluster.h"
#include "curves/curvefile.h"

#include <QElapsedTimer>
#include <QLocale>

#include <qcustomplot.h>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

constexpr int ForwardStroke = TestCurves::Forward;
constexpr int ReturnStroke = TestCurves::Return;
constexpr double NanosecondsPerMillisecond = 1e6;

// Line rate: the tester samples far faster than the line carries, so the
// line alone sets the pace. 10 mm/s over 0.001 mm steps is 10,000 points/s.
constexpr double LineRateStepMm = 0.001;
constexpr int LineRateSpeed = 600;      // mm/min
constexpr float LineRateDistance = 50;  // mm: 50,001 points forward, more than the run reads

// Headroom: 100 mm/s over 0.0005 mm steps, 200,000 points/s, both strokes
// of 25 mm: 100,002 points in a quarter of a second each way.
constexpr double HeadroomStepMm = 0.0005;
constexpr int HeadroomSpeed = 6000;
constexpr float HeadroomDistance = 25;
constexpr int HeadroomPoints = 100000;
constexpr double HeadroomGoal = 10.0;

constexpr double LineRateGoal = 0.95;
constexpr double LatenessGoalMs = 50.0;
constexpr double BytesPerPointGoal = 48.0;
constexpr double OpenGoalSeconds = 3.0;
constexpr int OpenPoints = 1000000;
constexpr double EvaluationGoalMs = 5.0;
constexpr double PanelGoalMs = 1.0;
constexpr int EvaluationPoints = 100000;
constexpr int TimedRepeats = 21; // for a stable median
constexpr int PointsPer100k = 100000;
// A port gone for good: the worker tries it again every second.
constexpr int RetrySeconds = 10;
constexpr double RetryCpuGoal = 0.02;

// The synthetic spring test of the drawing and file measurements: a 5 N/mm
// spring over 50 mm, with the hysteresis the simulated tester models.
constexpr double SpringTravelMm = 50.0;
constexpr double SpringRate = 5.0;
constexpr double Hysteresis = 0.02;
constexpr int ForceDecimals = 3;
// Room around the curves so that every point is drawn inside the axes.
constexpr double AxisMargin = 1.05;

struct DrawingSize
{
    int points;
    int replots; // repeated, for a stable median
};
const DrawingSize DrawingSizes[] = {{1000, 41}, {10000, 21}, {100000, 9}, {1000000, 5}};

template <typename Add>
void forEachSpringPoint(int count, Add add)
{
    const int forward = count / 2;
    const double step = SpringTravelMm / forward;
    for (int i = 0; i < forward; ++i) {
        const double distance = i * step;
        add(ForwardStroke, distance, SpringRate * distance * (1.0 + Hysteresis));
    }
    for (int i = 0; i < count - forward; ++i) {
        const double distance = SpringTravelMm - i * step;
        add(ReturnStroke, distance, SpringRate * distance * (1.0 - Hysteresis));
    }
}

QString number(double value, int decimals)
{
    return QLocale(QLocale::English).toString(value, 'f', decimals);
}

QString count(int value)
{
    return QLocale(QLocale::English).toString(value);
}

AxisSetting axesFor(double distance, double force)
{
    AxisSetting axes;
    axes.xMax = distance * AxisMargin;
    axes.yMax = force * AxisMargin;
    return axes;
}

void addNumbering(Report *report, const QString &measure, const AcquisitionRun::Result &result)
{
    const NumberingCheck &numbering = result.numbering;
    report->addAtMost(measure, numbering.lost + numbering.duplicated + numbering.misplaced, 0,
                      QStringLiteral("%1 lost, %2 duplicated, %3 out of order, of %4 sent")
                          .arg(numbering.lost)
                          .arg(numbering.duplicated)
                          .arg(numbering.misplaced)
                          .arg(count(result.handedOut)),
                      QStringLiteral("0"));
}

template <typename Work>
double medianMs(int repeats, Work work)
{
    std::vector<double> times;
    QElapsedTimer clock;
    for (int i = 0; i < repeats; ++i) {
        clock.start();
        work();
        times.push_back(clock.nsecsElapsed() / NanosecondsPerMillisecond);
    }
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    return times[times.size() / 2];
}

double medianReplotMs(QCustomPlot *plot, int replots)
{
    return medianMs(replots, [plot] { plot->replot(QCustomPlot::rpImmediateRefresh); });
}

// Five test points spread over `travel` mm of a spring of `rate` N/mm, with
// limits wide enough to pass.
TestProgram programOver(double travel, double rate)
{
    TestProgram program;
    for (int p = 1; p <= TestProgram::MaxPoints; ++p) {
        const double distance = travel * p / (TestProgram::MaxPoints + 1);
        program.points.append(TestPoint{distance, rate * distance, 0, 0, 10, {}});
    }
    return program;
}

} // namespace

BenchSuite::BenchSuite(WindowDriver *driver, BenchApplication *application,
                       const BenchOptions &options, const QString &linkPath,
                       const QString &workDirectory)
    : m_driver(driver)
    , m_options(options)
    , m_workDirectory(workDirectory)
    , m_retryLinkPath(workDirectory + QStringLiteral("/retry-tester"))
    , m_acquisition(driver, application, linkPath)
{
}

void BenchSuite::run(Report *report)
{
    QStringList durations;
    QElapsedTimer clock;
    const auto timed = [&](const char *name, void (BenchSuite::*measure)(Report *)) {
        clock.start();
        (this->*measure)(report);
        durations << QStringLiteral("%1 %2 s").arg(QLatin1String(name), number(clock.elapsed() / 1000.0, 1));
    };
    // First, while nothing else in the process works: the figure is the whole
    // process's processor time, and after the window's runs its recorder
    // may still be writing the last big test for a second or two.
    if (!m_options.lineOnly)
        timed("retry", &BenchSuite::measureRetry);
    // Every run below has the results panel shown and judging.
    const double lineRateTravel = m_options.line.pointsPerSecond() * m_options.lineRateSeconds
                                  * LineRateStepMm;
    m_driver->useProgram(programOver(lineRateTravel, 1.0 / LineRateStepMm));
    timed("line rate", &BenchSuite::measureLineRate);
    if (m_options.lineOnly) {
        report->addNote(QStringLiteral("Time taken: ") + durations.join(QStringLiteral(", ")) + QLatin1Char('.'));
        return;
    }
    timed("panel", &BenchSuite::measurePanel);
    timed("evaluation", &BenchSuite::measureEvaluation);
    timed("headroom and replot per point", &BenchSuite::measureHeadroom);
    timed("drawing", &BenchSuite::measureDrawing);
    timed("open", &BenchSuite::measureOpen);
    timed("records", &BenchSuite::measureRecords);
    report->addNote(QStringLiteral("Time taken: ") + durations.join(QStringLiteral(", ")) + QLatin1Char('.'));
}

void BenchSuite::runMemory(Report *report)
{
    // Judged as in the full run, so that the figures compare.
    m_driver->useProgram(programOver(m_options.line.pointsPerSecond() * m_options.lineRateSeconds * LineRateStepMm,
                                     1.0 / LineRateStepMm));
    measureHeadroom(report);
    measureDrawing(report);
}

QStringList BenchSuite::pacingArguments() const
{
    const LineLimit &line = m_options.line;
    return {QStringLiteral("--baud"), QString::number(line.baudRate),
            QStringLiteral("--data-bits"), QString::number(line.dataBits),
            QStringLiteral("--parity"), QString(QLatin1Char(line.parity)),
            QStringLiteral("--stop-bits"), QString::number(line.stopBits)};
}

void BenchSuite::measureLineRate(Report *report)
{
    const double limit = m_options.line.pointsPerSecond();
    const double expected = limit * m_options.lineRateSeconds;
    AcquisitionRun::Settings settings;
    settings.simulatorArguments =
        pacingArguments() + QStringList{QStringLiteral("--point-step"), QString::number(LineRateStepMm)};
    settings.test.speed = LineRateSpeed;
    settings.test.distance = LineRateDistance;
    settings.axes = axesFor(expected * LineRateStepMm, expected);
    settings.measureMs = m_options.lineRateSeconds * 1000;

    const QString measure =
        QStringLiteral("1. Line rate, %1 paced, recording to SQLite").arg(m_options.line.framing());
    const AcquisitionRun::Result result = m_acquisition.run(settings);
    if (!result.error.isEmpty()) {
        report->addFailure(measure, result.error);
        return;
    }
    const double rate = result.throughput.perSecond();
    report->addAtLeast(measure, rate / limit, LineRateGoal,
                       QStringLiteral("%1 points/s over %2 s = %3 × limit")
                           .arg(count(qRound(rate)), number(result.throughput.seconds, 1),
                                number(rate / limit, 3)),
                       QStringLiteral("≥ %1 × limit").arg(LineRateGoal));
    addNumbering(report, QStringLiteral("1. Lost / duplicated at line rate"), result);
    RecordsBench::checkWindowRecords(report, QStringLiteral("1. Points on record at line rate"),
                                     m_driver->window(), result.stored);
    report->addAtMost(QStringLiteral("3. GUI p99 lateness at line rate"), result.latenessP99Ms,
                      LatenessGoalMs,
                      QStringLiteral("%1 ms (max %2 ms, %3 beats of 10 ms)")
                          .arg(number(result.latenessP99Ms, 1), number(result.latenessMaxMs, 1))
                          .arg(result.beats),
                      QStringLiteral("≤ %1 ms").arg(LatenessGoalMs));

    // The same test without the window tells the machine's share of the
    // shortfall from the window's.
    const WorkerReference::Result reference = WorkerReference::measure(
        settings.simulatorArguments, settings.test, m_options.lineRateSeconds);
    const QString referenceMeasure = QStringLiteral("1. Line rate, worker alone (reference)");
    if (!reference.error.isEmpty()) {
        report->addFailure(referenceMeasure, reference.error);
        return;
    }
    report->addRow(referenceMeasure,
                   QStringLiteral("%1 points/s = %2 × limit; the window reaches %3 of it")
                       .arg(count(qRound(reference.pointsPerSecond)),
                            number(reference.pointsPerSecond / limit, 3),
                            number(rate / reference.pointsPerSecond, 3)));

    // The same again with every point recorded: what recording costs the
    // line, apart from the window's drawing.
    DatabaseConfig records;
    records.sqlitePath = m_workDirectory + QStringLiteral("/reference-records.sqlite");
    TestRecorder recorder(records);
    recorder.start();
    const WorkerReference::Result recorded = WorkerReference::measure(
        settings.simulatorArguments, settings.test, m_options.lineRateSeconds, &recorder);
    const QString recordedMeasure = QStringLiteral("1. Line rate, worker alone recording to SQLite");
    if (!recorded.error.isEmpty()) {
        report->addFailure(recordedMeasure, recorded.error);
        return;
    }
    report->addRow(recordedMeasure,
                   QStringLiteral("%1 points/s = %2 × limit = %3 of the worker without recording")
                       .arg(count(qRound(recorded.pointsPerSecond)),
                            number(recorded.pointsPerSecond / limit, 3),
                            number(recorded.pointsPerSecond / reference.pointsPerSecond, 3)));

    // A lab's station records to the server as an operator: every write
    // meets the row policies, the server's stamps and the audit trail's
    // triggers, none of which may slow the line.
    const QString serverMeasure =
        QStringLiteral("1. Line rate, worker alone recording to PostgreSQL as an operator, audit trail on");
    PostgresCluster cluster;
    DatabaseConfig operatorLogin;
    QString error;
    if (!RecordsBench::startLabServer(&cluster, QStringLiteral("line"), &operatorLogin, &error)) {
        report->addFailure(serverMeasure, error);
        return;
    }
    TestRecorder serverRecorder(operatorLogin);
    serverRecorder.start();
    const WorkerReference::Result onServer = WorkerReference::measure(
        settings.simulatorArguments, settings.test, m_options.lineRateSeconds, &serverRecorder);
    if (!onServer.error.isEmpty()) {
        report->addFailure(serverMeasure, onServer.error);
        return;
    }
    report->addAtLeast(serverMeasure, onServer.pointsPerSecond / limit, LineRateGoal,
                       QStringLiteral("%1 points/s = %2 × limit = %3 of the worker without recording")
                           .arg(count(qRound(onServer.pointsPerSecond)),
                                number(onServer.pointsPerSecond / limit, 3),
                                number(onServer.pointsPerSecond / reference.pointsPerSecond, 3)),
                       QStringLiteral("≥ %1 × limit").arg(LineRateGoal));
    RecordsBench::checkRecordedAndAudited(report, QStringLiteral("1. The same on record"), &serverRecorder,
                                          cluster.config(QStringLiteral("line")), onServer.pointsHanded);
}

// Right after the line-rate run, with its curves still in the window: one
// update of the panel (evaluation, table, markers) is what each curve block
// costs the GUI thread, since the panel updates once per pass of the event
// loop and each block arrives in a pass of its own at line rate. Its cost
// grows with the curves, so this is the run's last and dearest block.
void BenchSuite::measurePanel(Report *report)
{
    const int points = m_driver->pointCount();
    const double travel = m_options.line.pointsPerSecond() * m_options.lineRateSeconds * LineRateStepMm;
    const TestProgram program = programOver(travel, 1.0 / LineRateStepMm);
    const double ms = medianMs(TimedRepeats, [&] { m_driver->useProgram(program); });
    report->addAtMost(QStringLiteral("7. Results panel update per curve block at line rate"), ms,
                      PanelGoalMs,
                      QStringLiteral("%1 ms with the run's %2 points (median of %3)")
                          .arg(number(ms, 3), count(points))
                          .arg(TimedRepeats),
                      QStringLiteral("≤ %1 ms").arg(PanelGoalMs));
}

void BenchSuite::measureEvaluation(Report *report)
{
    TestCurves curves;
    forEachSpringPoint(EvaluationPoints, [&](int stroke, double distance, double force) {
        curves.add(stroke, distance, force);
    });
    const TestProgram program = programOver(SpringTravelMm, SpringRate);
    Evaluation evaluation;
    const double ms = medianMs(TimedRepeats, [&] {
        evaluation = SpringEvaluation::evaluate(curves, program);
    });
    const QString measure = QStringLiteral("7. Evaluation of a %1-point test").arg(count(EvaluationPoints));
    if (!evaluation.passed() || !evaluation.hysteresisPercent) {
        report->addFailure(measure, QStringLiteral("the spring test was not judged in full"));
        return;
    }
    report->addAtMost(measure, ms, EvaluationGoalMs,
                      QStringLiteral("%1 ms (median of %2)").arg(number(ms, 2)).arg(TimedRepeats),
                      QStringLiteral("≤ %1 ms").arg(EvaluationGoalMs));
}

void BenchSuite::measureHeadroom(Report *report)
{
    const double limit = m_options.line.pointsPerSecond();
    AcquisitionRun::Settings settings;
    settings.simulatorArguments = QStringList{QStringLiteral("--no-pacing"), QStringLiteral("--point-step"),
                                              QString::number(HeadroomStepMm)};
    settings.test.speed = HeadroomSpeed;
    settings.test.distance = HeadroomDistance;
    settings.axes = axesFor(HeadroomDistance, HeadroomPoints);
    settings.targetPoints = HeadroomPoints;

    const QString measure = QStringLiteral("2. Headroom, unpaced, to %1 points").arg(count(HeadroomPoints));
    const AcquisitionRun::Result coalesced = m_acquisition.run(settings);
    if (!coalesced.error.isEmpty()) {
        report->addFailure(measure, coalesced.error);
        return;
    }
    const double rate = coalesced.throughput.perSecond();
    report->addAtLeast(measure, coalesced.throughput.reached ? rate / limit : 0.0, HeadroomGoal,
                       QStringLiteral("%1 points/s, %2 s = %3 × limit")
                           .arg(count(qRound(rate)), number(coalesced.throughput.seconds, 2),
                                number(rate / limit, 1)),
                       QStringLiteral("≥ %1 × limit").arg(HeadroomGoal));
    addNumbering(report, QStringLiteral("2. Lost / duplicated, unpaced"), coalesced);
    RecordsBench::checkWindowRecords(report, QStringLiteral("2. Points on record, unpaced"),
                                     m_driver->window(), coalesced.stored);
    report->addRow(QStringLiteral("3. GUI p99 lateness, unpaced"),
                   QStringLiteral("%1 ms (max %2 ms, %3 beats)")
                       .arg(number(coalesced.latenessP99Ms, 1), number(coalesced.latenessMaxMs, 1))
                       .arg(coalesced.beats));
    report->addAtMost(QStringLiteral("5. Memory per point, acquired"), coalesced.residentBytesPerPoint(),
                      BytesPerPointGoal,
                      QStringLiteral("%1 B/point (%2 KiB resident growth, %3 points)")
                          .arg(number(coalesced.residentBytesPerPoint(), 1),
                               count(int(coalesced.residentGrowth / 1024)), count(coalesced.stored)),
                      QStringLiteral("≤ %1 B/point").arg(BytesPerPointGoal));

    // The same test with a full replot after every point, as far as it gets
    // in its time, against the coalesced run over the same number of points.
    settings.replotPerPoint = true;
    settings.measureMs = m_options.perPointSeconds * 1000;
    const AcquisitionRun::Result perPoint = m_acquisition.run(settings);
    const QString comparison = QStringLiteral("4. Replot per point vs coalesced, unpaced");
    if (!perPoint.error.isEmpty() || perPoint.samples.empty()) {
        report->addFailure(comparison, perPoint.error);
        return;
    }
    const int reached = perPoint.samples.back().points;
    const PlotProbe::Throughput same = PlotProbe::throughputOf(coalesced.samples, reached);
    const double perPointRate = perPoint.throughput.perSecond();
    report->addRow(comparison,
                   QStringLiteral("per point: %1 points in %2 s, %3 points/s (%4 × limit), p99 lateness "
                                  "%5 ms; coalesced: %6 points/s to the same count = %7 × faster")
                       .arg(count(reached), number(perPoint.throughput.seconds, 1),
                            count(qRound(perPointRate)), number(perPointRate / limit, 2),
                            number(perPoint.latenessP99Ms, 0), count(qRound(same.perSecond())),
                            number(perPointRate > 0 ? same.perSecond() / perPointRate : 0.0, 1)));
}

void BenchSuite::feedSpringTest(int points)
{
    forEachSpringPoint(points, [this](int stroke, double distance, double force) {
        m_driver->deliverPoint(stroke, distance, force);
    });
    AcquisitionRun::settle();
}

void BenchSuite::fitAxesToSpringTest()
{
    m_driver->setAxes(axesFor(SpringTravelMm, SpringRate * SpringTravelMm * (1.0 + Hysteresis)));
}

void BenchSuite::measureDrawing(Report *report)
{
    fitAxesToSpringTest();
    for (const DrawingSize &size : DrawingSizes) {
        m_driver->clickRefresh();
        AcquisitionRun::settle();
        ResidentMemory::releaseFreeMemory();
        const qint64 before = ResidentMemory::bytes();
        feedSpringTest(size.points);
        ResidentMemory::releaseFreeMemory();
        const qint64 growth = ResidentMemory::bytes() - before;
        const double replotMs = medianReplotMs(m_driver->plot(), size.replots);
        report->addRow(QStringLiteral("4. Replot, %1 points").arg(count(size.points)),
                       QStringLiteral("%1 ms (median of %2)").arg(number(replotMs, 2)).arg(size.replots));
        if (size.points == DrawingSizes[std::size(DrawingSizes) - 1].points) {
            const double perPoint = double(growth) / m_driver->pointCount();
            report->addAtMost(QStringLiteral("5. Memory per point, %1 delivered").arg(count(size.points)),
                              perPoint, BytesPerPointGoal,
                              QStringLiteral("%1 B/point (%2 KiB resident growth)")
                                  .arg(number(perPoint, 1), count(int(growth / 1024))),
                              QStringLiteral("≤ %1 B/point").arg(BytesPerPointGoal));
        }
    }
    m_driver->clickRefresh();
    AcquisitionRun::settle();
}

void BenchSuite::measureOpen(Report *report)
{
    const QString measure = QStringLiteral("6. Open, %1-point curve file").arg(count(OpenPoints));
    TestCurves written;
    forEachSpringPoint(OpenPoints, [&](int stroke, double distance, double force) {
        written.add(stroke, distance, force);
    });
    const QString path = m_workDirectory + QStringLiteral("/curves-1M.txt");
    QString error;
    if (!CurveFile::save(path, written, ForceDecimals, &error)) {
        report->addFailure(measure, error);
        return;
    }
    written.clear();

    m_driver->clickRefresh();
    AcquisitionRun::settle();
    ResidentMemory::releaseFreeMemory();
    QElapsedTimer clock;
    clock.start();
    m_driver->openCurveFile(path);
    const double seconds = clock.nsecsElapsed() / 1e9;
    AcquisitionRun::settle();
    const int loaded = m_driver->pointCount();

    // The reading alone, to tell it from the plot's part.
    TestCurves curves;
    clock.start();
    CurveFile::load(path, &curves, &error);
    const double reading = clock.nsecsElapsed() / 1e9;

    if (loaded != OpenPoints) {
        report->addFailure(measure, QStringLiteral("the plot holds %1 points").arg(count(loaded)));
        return;
    }
    report->addAtMost(measure, seconds, OpenGoalSeconds,
                      QStringLiteral("%1 s = %2 s per 100k points (reading %3 s, plot %4 s)")
                          .arg(number(seconds, 2),
                               number(seconds * PointsPer100k / OpenPoints, 3),
                               number(reading, 2), number(seconds - reading, 2)),
                      QStringLiteral("< %1 s").arg(OpenGoalSeconds));
    m_driver->clickRefresh();
    AcquisitionRun::settle();
}

void BenchSuite::measureRetry(Report *report)
{
    const QString measure = QStringLiteral("12. CPU while reopening a missing device");
    const RetryCpu::Result result = RetryCpu::measure(m_retryLinkPath, RetrySeconds);
    if (!result.error.isEmpty()) {
        report->addFailure(measure, result.error);
        return;
    }
    report->addAtMost(measure, result.shareOfACore, RetryCpuGoal,
                      QStringLiteral("%1 % of a core over %2 s")
                          .arg(number(100 * result.shareOfACore, 2))
                          .arg(RetrySeconds),
                      QStringLiteral("< %1 % of a core").arg(100 * RetryCpuGoal));
}

void BenchSuite::measureRecords(Report *report)
{
    RecordsBench::measureStopToDisk(report, m_workDirectory);
    RecordsBench::measureTwoStations(report);
}
