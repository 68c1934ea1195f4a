#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the simulated tester (torvelin-sim, path in TORVELIN_SIM) for one
// test: start() launches it with the given options and waits for the device
// path it prints; the destructor stops it. simulator/README.md lists the
// options, the control commands and the machine's stored data.
//
//     SimulatedTester sim({"--no-pacing"});
//     if (!sim.start())
//         QFAIL(qPrintable(sim.errorString()));
//     ... open sim.devicePath() ...
//     QVERIFY(sim.command("fault bad-crc 1"));
class SimulatedTester
{
public:
    explicit SimulatedTester(const QStringList &arguments = {});
    ~SimulatedTester();
    SimulatedTester(const SimulatedTester &) = delete;
    SimulatedTester &operator=(const SimulatedTester &) = delete;

    // The simulator named by TORVELIN_SIM; empty when the test runs without it.
    static QString simulatorPath();

    bool start();
    // SIGTERM, then kill if it does not end; waits for the process.
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    QString devicePath() const { return m_devicePath; }
    // Why the last start() or command() failed, for QFAIL/QSKIP.
    QString errorString() const { return m_error; }

    // Sends one control line and waits for its answer: true on "ok". The
    // text after "ok " (query results, the new path of "reconnect") goes to
    // *answer when given.
    bool command(const QString &line, QString *answer = nullptr);
    // The value of one key of the "state" answer (phase, position, produced,
    // handed, total, pty, faults); empty on failure.
    QString state(const QString &key);
    // The transaction counters of the "stats" answer (fc03, fc04, fc16,
    // other, rejected); empty on failure.
    QMap<QString, int> stats();

private:
    bool readLine(QString *line);

    QStringList m_arguments;
    QProcess m_process;
    QString m_devicePath;
    QString m_error;
};
