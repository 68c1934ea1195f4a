#pragma once

#include "controlchannel.h"
#include "faultset.h"
#include "modbusslave.h"
#include "simulatoroptions.h"
#include "springmachine.h"
#include "testercontroller.h"
#include "virtualline.h"

#include <QByteArray>

#include <random>
#include <vector>

// The simulator's single-threaded event loop: it waits on the line, on the
// control channel (stdin) and on the time the next answer is due, so that a
// delayed answer never holds up a control command.
class Simulator : public LineControl
{
public:
    explicit Simulator(const SimulatorOptions &options);

    // Serves until SIGTERM/SIGINT/SIGHUP (or stdin EOF with --exit-on-eof);
    // returns the process exit code.
    int run();

    void hangUp() override;
    bool reconnect(QString *pathOrError) override;
    QString ptyPath() const override { return m_line.ptyPath(); }
    int rejectedFrames() const override { return m_rejectedFrames; }

private:
    using Clock = SpringMachine::Clock;

    struct PendingAnswer
    {
        std::vector<uint8_t> bytes;
        Clock::time_point due;
        bool active = false;
    };

    void serveLine(Clock::time_point arrived);
    void answer(const ModbusRequest &request, Clock::time_point arrived);
    // An FC04 read that takes in the register of the silent-input fault.
    bool readsSilentInput(const ModbusRequest &request) const;
    void spoilFrame(std::vector<uint8_t> *bytes);
    void sendPending();
    // False once stdin has reached its end.
    bool readControl();
    void log(const char *what, const std::vector<uint8_t> &bytes) const;

    SimulatorOptions m_options;
    FaultSet m_faults;
    SpringMachine m_machine;
    VirtualLine m_line;
    ModbusSlave m_slave;
    TesterController m_controller;
    ControlChannel m_control;
    PendingAnswer m_pending;
    QByteArray m_controlInput;
    int m_rejectedFrames = 0;
    unsigned m_lineGeneration = 0;
    std::mt19937 m_random{7u};
};
