#pragma once

#include "faultset.h"
#include "linetiming.h"
#include "springmachine.h"

#include <QString>
#include <QVector>

class QCoreApplication;

struct SimulatorOptions
{
    struct InitialFault
    {
        Fault fault;
        int count;
    };

    QString linkPath;
    LineTiming line;
    bool pacing = true;
    int machineType = 500;
    int forceDecimals = 3;
    SpringMachine::Model model;
    int lateMilliseconds = 700;
    int silentInputRegister = 5;
    QVector<InitialFault> faults;
    bool exitOnEof = false;
    bool verbose = false;

    // Parses the command line; on --help it prints the help and exits, on a
    // bad option or value it prints the reason to stderr and returns false.
    static bool parse(const QCoreApplication &application, SimulatorOptions *options);
};
