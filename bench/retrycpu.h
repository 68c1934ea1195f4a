#pragma once

#include <QString>

// What the acquisition worker costs while its port is gone: a bare
// modbusThread connected to the simulated tester through a --link path,
// the line hung up so that the link dangles, and the process's CPU time
// over `seconds` of the worker reopening the missing device every second.
class RetryCpu
{
public:
    struct Result
    {
        QString error; // empty when the run went through
        double shareOfACore = 0.0;
    };

    static Result measure(const QString &linkPath, int seconds);
};
