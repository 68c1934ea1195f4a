#include "bench/retrycpu.h"

#include "bench/acquisitionrun.h"
#include "bench/workerreference.h"
#include "device/modbusthread.h"
#include "support/simulatedtester.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <sys/resource.h>

namespace {

constexpr int MillisecondsPerSecond = 1000;
constexpr int ReportTimeoutMs = 5000;

double processCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

RetryCpu::Result RetryCpu::measure(const QString &linkPath, int seconds)
{
    Result result;
    SimulatedTester tester({QStringLiteral("--link"), linkPath});
    modbusThread worker;
    result.error = WorkerReference::startAndOpen(&tester, &worker);
    if (!result.error.isEmpty())
        return result;
    bool portClosed = false;
    QObject context;
    QObject::connect(&worker, &modbusThread::sendLinkReport, &context,
                     [&](const LinkReport &report) { portClosed = report.portClosed; });
    worker.start();
    if (!tester.command(QStringLiteral("hangup"))
        || !AcquisitionRun::waitUntil([&]() { return portClosed; }, ReportTimeoutMs)) {
        result.error = QStringLiteral("the worker did not see the line hung up");
    } else {
        const double cpuBefore = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        // This thread only sleeps: what the process spends is the worker's.
        QThread::msleep(ulong(seconds) * MillisecondsPerSecond);
        result.shareOfACore = (processCpuSeconds() - cpuBefore) / (double(wall.elapsed()) / MillisecondsPerSecond);
    }
    worker.stopThread();
    worker.wait();
    worker.closeSerial();
    QFile::remove(linkPath);
    return result;
}
