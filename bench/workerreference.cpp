#include "bench/workerreference.h"

#include "bench/acquisitionrun.h"
#include "bench/linelimit.h"
#include "bench/plotprobe.h"
#include "device/modbusthread.h"
#include "records/testrecorder.h"
#include "support/simulatedtester.h"

#include <QElapsedTimer>

#include <climits>
#include <vector>

namespace {
constexpr int MillisecondsPerSecond = 1000;
// The measured seconds plus the time the first block may take.
constexpr int StartAllowanceMs = 5000;
} // namespace

QString WorkerReference::startAndOpen(SimulatedTester *tester, modbusThread *worker)
{
    if (!tester->start())
        return tester->errorString();
    Serial_Setting_Type setting = worker->getSerialSetting();
    setting.portName = tester->devicePath();
    worker->receiveSerailSetting(setting);
    if (!worker->openSerial())
        return QStringLiteral("the worker could not open %1").arg(setting.portName);
    return QString();
}

WorkerReference::Result WorkerReference::measure(const QStringList &simulatorArguments,
                                                 const Curve_Setting &test, int seconds,
                                                 TestRecorder *recorder)
{
    Result result;
    SimulatedTester tester(simulatorArguments);
    modbusThread worker;
    result.error = startAndOpen(&tester, &worker);
    if (!result.error.isEmpty())
        return result;

    // A sample at the last point of each block: the block's arrival.
    QElapsedTimer clock;
    std::vector<PlotProbe::Sample> samples;
    int received = 0;
    QObject context;
    QObject::connect(&worker, &modbusThread::sendCurveData, &context, [&](int stroke, double x, double y) {
        if (recorder)
            recorder->addPoint(stroke, x, y);
        if (++received % LineLimit::PointsPerBlock == 0)
            samples.push_back({clock.nsecsElapsed(), received});
    });
    if (recorder) {
        TestHeader header;
        header.startedAt = QDateTime::currentDateTimeUtc();
        header.setting = test;
        recorder->begin(header);
    }
    clock.start();
    worker.start();
    worker.startTest(test);
    const qint64 measureNs = qint64(seconds) * MillisecondsPerSecond * 1000000;
    const bool finished = AcquisitionRun::waitUntil(
        [&]() { return !samples.empty() && samples.back().ns - samples.front().ns >= measureNs; },
        seconds * MillisecondsPerSecond + StartAllowanceMs);
    worker.stopTest();
    if (recorder)
        recorder->finish();
    worker.stopThread();
    worker.wait();
    worker.closeSerial();
    if (!finished) {
        result.error = QStringLiteral("the worker took in only %1 points").arg(received);
        return result;
    }
    result.pointsPerSecond = PlotProbe::throughputOf(samples, INT_MAX).perSecond();
    // Blocks still queued die with `context`: these are all the recorder got.
    result.pointsHanded = recorder ? received : 0;
    return result;
}
