#pragma once

#include "bench/acquisitionrun.h"
#include "bench/linelimit.h"

#include <QString>

class BenchApplication;
class Report;
class WindowDriver;

struct BenchOptions
{
    LineLimit line;             // the framing the simulated tester paces
    int lineRateSeconds = 8;    // measured at line rate
    int perPointSeconds = 20;   // allowed to the replot-per-point run
    bool historyOnly = false;   // only the records' History and statistics
    bool labOnly = false;       // only the lab database of a million tests
    bool lineOnly = false;      // only the line rate, with recording
    bool memoryOnly = false;    // only the memory per point (runs 2 and the drawing)
};

// The measurements, each against its goal, in one run so that the ratios
// share the machine's load.
class BenchSuite
{
public:
    BenchSuite(WindowDriver *driver, BenchApplication *application, const BenchOptions &options,
               const QString &linkPath, const QString &workDirectory);

    void run(Report *report);
    // The two memory figures alone (the headroom run and the drawing), for
    // comparing how the curves are held before and after a change.
    void runMemory(Report *report);

private:
    void measureLineRate(Report *report);
    void measureHeadroom(Report *report);
    void measureDrawing(Report *report);
    void measureOpen(Report *report);
    void measureRetry(Report *report);
    void measurePanel(Report *report);
    void measureEvaluation(Report *report);
    void measureRecords(Report *report);

    QStringList pacingArguments() const;
    // The points of a spring test delivered one by one to the window, as
    // the worker's queued signal delivers them.
    void feedSpringTest(int points);
    void fitAxesToSpringTest();

    WindowDriver *m_driver;
    BenchOptions m_options;
    QString m_workDirectory;
    QString m_retryLinkPath;
    AcquisitionRun m_acquisition;
};
