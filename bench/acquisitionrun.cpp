#include "bench/acquisitionrun.h"

#include "bench/benchapplication.h"
#include "bench/heartbeat.h"
#include "bench/residentmemory.h"
#include "bench/windowdriver.h"
#include "mainwindow/mainwindow.h"
#include "support/simulatedtester.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <qcustomplot.h>

#include <algorithm>
#include <climits>

namespace {
// How often a wait looks at its condition; short against a 25 ms block.
constexpr int WaitCheckMs = 5;
// No run may hang the benchmark: beyond this it is reported as failed.
constexpr int RunTimeoutMs = 120000;
// After Disconnect, the queued points still have to reach the plot.
constexpr int DrainTimeoutMs = 60000;
constexpr qint64 NanosecondsPerMillisecond = 1000000;
constexpr int SettleMs = 100;
} // namespace

AcquisitionRun::AcquisitionRun(WindowDriver *driver, BenchApplication *application,
                               const QString &linkPath)
    : m_driver(driver)
    , m_application(application)
    , m_linkPath(linkPath)
{
}

bool AcquisitionRun::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QElapsedTimer clock;
    bool timedOut = false;
    QObject::connect(&check, &QTimer::timeout, &loop, [&]() {
        if (done()) {
            loop.quit();
        } else if (clock.elapsed() > timeoutMs) {
            timedOut = true;
            loop.quit();
        }
    });
    clock.start();
    if (done())
        return true;
    check.start(WaitCheckMs);
    loop.exec();
    return !timedOut;
}

void AcquisitionRun::settle()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, SettleMs);
}

AcquisitionRun::Result AcquisitionRun::run(const Settings &settings)
{
    Result result;
    m_driver->clickRefresh();
    settle();

    SimulatedTester tester(QStringList{QStringLiteral("--link"), m_linkPath, QStringLiteral("--numbered")}
                           + settings.simulatorArguments);
    if (!tester.start()) {
        result.error = tester.errorString();
        return result;
    }
    if (!m_driver->connectToTester()) {
        result.error = QStringLiteral("the window could not connect to %1").arg(m_linkPath);
        return result;
    }
    m_driver->chooseTest(settings.test);
    m_driver->setAxes(settings.axes);
    settle();

    ResidentMemory::releaseFreeMemory();
    const qint64 residentBefore = ResidentMemory::bytes();

    PlotProbe probe(m_driver->plot());
    Heartbeat heartbeat;
    if (settings.replotPerPoint)
        m_application->replotAfterEachQueuedCall(m_driver->window(), m_driver->plot(),
                                                 settings.measureMs);
    probe.start();
    heartbeat.start();
    if (!m_driver->clickStart()) {
        m_application->replotAfterEachQueuedCall(nullptr, nullptr);
        result.error = QStringLiteral("Start stayed disabled");
        m_driver->disconnectFromTester();
        return result;
    }

    const int target = settings.targetPoints > 0 ? settings.targetPoints : INT_MAX;
    const qint64 measureNs = settings.measureMs * NanosecondsPerMillisecond;
    const bool finished = waitUntil(
        [&]() {
            const std::vector<PlotProbe::Sample> &samples = probe.samples();
            if (!samples.empty() && samples.back().points >= target)
                return true;
            const qint64 first = probe.firstPointsNs();
            return measureNs > 0 && first >= 0 && probe.elapsedNs() - first >= measureNs;
        },
        RunTimeoutMs);
    heartbeat.stop();
    if (settings.replotPerPoint) {
        m_application->replotAfterEachQueuedCall(nullptr, nullptr);
        m_driver->plot()->replot();
    }
    // Drawings after the measured time (the backlog taken in once a
    // replot-per-point run ran out of time) are not the run's.
    std::vector<PlotProbe::Sample> samples = probe.samples();
    const qint64 first = probe.firstPointsNs();
    if (measureNs > 0 && first >= 0) {
        samples.erase(std::find_if(samples.begin(), samples.end(),
                                   [&](const PlotProbe::Sample &sample) { return sample.ns > first + measureNs; }),
                      samples.end());
    }
    result.throughput = PlotProbe::throughputOf(samples, target);
    result.samples = samples;
    result.latenessP99Ms = heartbeat.latenessPercentileMs(0.99);
    result.latenessMaxMs = heartbeat.maxLatenessMs();
    result.beats = heartbeat.beats();

    // Disconnect waits for the worker's loop, so nothing is read after the
    // count of handed-out points is taken.
    m_driver->clickStop();
    m_driver->disconnectFromTester();
    result.handedOut = tester.state(QStringLiteral("handed")).toInt();
    const bool drained =
        waitUntil([&]() { return m_driver->pointCount() >= result.handedOut; }, DrainTimeoutMs);
    // The last queued replot, so that the plot is as the operator sees it.
    settle();
    result.stored = m_driver->pointCount();
    // What the window holds, not what the allocator kept of what it freed
    // (queued events, the evaluation's and the recorder's buffers).
    ResidentMemory::releaseFreeMemory();
    result.residentGrowth = ResidentMemory::bytes() - residentBefore;
    result.numbering = NumberingCheck::of(m_driver->plot(), result.handedOut);
    if (!finished)
        result.error = QStringLiteral("the run did not finish within %1 s").arg(RunTimeoutMs / 1000);
    else if (!drained)
        result.error = QStringLiteral("the plot holds %1 of the %2 points sent")
                           .arg(result.stored)
                           .arg(result.handedOut);
    return result;
}
