#pragma once

#include "bench/numberingcheck.h"
#include "bench/plotprobe.h"
#include "device/settings.h"
#include "dialogs/axissetting.h"

#include <QString>
#include <QStringList>

#include <functional>

class BenchApplication;
class WindowDriver;

// One spring test, from Connect to Disconnect, run by the real window and
// worker against a fresh simulated tester that numbers its points.
class AcquisitionRun
{
public:
    struct Settings
    {
        QStringList simulatorArguments; // besides --link and --numbered
        Curve_Setting test;
        AxisSetting axes;
        // The run ends when a drawing holds this many points, or when
        // measureMs have passed since the first drawing with points.
        int targetPoints = 0;
        qint64 measureMs = 0;
        // One full replot per received point instead of the window's own
        // coalesced replot.
        bool replotPerPoint = false;
    };

    struct Result
    {
        QString error; // empty when the run went through
        PlotProbe::Throughput throughput;
        std::vector<PlotProbe::Sample> samples;
        double latenessP99Ms = 0.0;
        double latenessMaxMs = 0.0;
        int beats = 0;
        int handedOut = 0;    // points the tester sent during the test
        int stored = 0;       // points in the plot once every queued one was taken in
        NumberingCheck numbering;
        qint64 residentGrowth = 0; // bytes, from before Start to the end
        double residentBytesPerPoint() const { return stored > 0 ? double(residentGrowth) / stored : 0.0; }
    };

    AcquisitionRun(WindowDriver *driver, BenchApplication *application, const QString &linkPath);

    Result run(const Settings &settings);

    // Runs the event loop until `done` holds; false after `timeoutMs`.
    static bool waitUntil(const std::function<bool()> &done, int timeoutMs);
    // Takes in what is pending: queued points, a queued replot, repaints.
    static void settle();

private:
    WindowDriver *m_driver;
    BenchApplication *m_application;
    QString m_linkPath;
};
