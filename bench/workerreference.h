#pragma once

#include "device/settings.h"

#include <QString>
#include <QStringList>

class SimulatedTester;
class modbusThread;
class TestRecorder;

// The acquisition worker on its own against the simulated tester, its
// points counted on the GUI thread but not drawn: the line rate that this
// machine, the simulated tester and the worker reach without the window. Its
// ratio to the window's figure is the window's share of any shortfall.
class WorkerReference
{
public:
    struct Result
    {
        QString error; // empty when the run went through
        double pointsPerSecond = 0.0;
        int pointsHanded = 0; // to the recorder, when there is one
    };

    // Runs one test for `seconds`; every block must be a full one of
    // 30 points, so the tester must sample faster than the line carries.
    // With a recorder, every point is also recorded, as the window does.
    static Result measure(const QStringList &simulatorArguments, const Curve_Setting &test,
                          int seconds, TestRecorder *recorder = nullptr);

    // Starts the tester and opens a bare worker on it: why not, or empty.
    static QString startAndOpen(SimulatedTester *tester, modbusThread *worker);
};
