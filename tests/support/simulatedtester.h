#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the simulated tester (torvelin-sim, path in TORVELIN_SIM) for one
// test: start() launches it with the given options and waits for the device
// path it prints; the destructor stops it.
class SimulatedTester
{
public:
    explicit SimulatedTester(const QStringList &arguments = {});
    ~SimulatedTester();

    bool start();
    void stop();
    QString devicePath() const { return m_devicePath; }
    // Sends one control line to the running simulator (faults, queries).
    bool command(const QString &line);

private:
    QStringList m_arguments;
    QProcess m_process;
    QString m_devicePath;
};
