#pragma once

#include "springmachine.h"

#include <QVector>

#include <cstdint>

class FaultSet;
struct ModbusRequest;

// The controller's register contract: what the input registers read, what
// the holding registers show after each command, and what a written command
// makes the machine do. It fills the register mapping right before an answer
// is built and acts on a write right after it has landed.
class TesterController
{
public:
    static constexpr int inputRegisterCount = 6;
    static constexpr int holdingRegisterCount = 122;

    struct Counters
    {
        int readHolding = 0;
        int readInput = 0;
        int writeMultiple = 0;
        int other = 0;
    };

    TesterController(SpringMachine &machine, FaultSet &faults, uint16_t *inputRegisters,
                     uint16_t *holdingRegisters);

    void setMachineType(int type) { m_machineType = type; }
    void setForceDecimals(int decimals) { m_forceDecimals = decimals; }

    // Before the answer to `request` is built from the registers.
    void prepare(const ModbusRequest &request, SpringMachine::Clock::time_point now);
    // After a write request has been stored in the holding registers.
    void written(const ModbusRequest &request, SpringMachine::Clock::time_point now);

    // Registers of the last write, from its first register on.
    QVector<uint16_t> lastWrite() const { return m_lastWrite; }
    Counters counters() const { return m_counters; }

private:
    enum class View { Curve, SettingReply, DataReply };

    void prepareLive(SpringMachine::Clock::time_point now);
    void prepareHoldingBlock(int count, SpringMachine::Clock::time_point now);
    void prepareCurveBlock(int count, SpringMachine::Clock::time_point now);
    void prepareSettingReply();
    void prepareDataReply();
    void spoilFloats(uint16_t *first, int floatCount);
    void execute(SpringMachine::Clock::time_point now);

    SpringMachine &m_machine;
    FaultSet &m_faults;
    uint16_t *m_input;
    uint16_t *m_holding;
    int m_machineType = 500;
    int m_forceDecimals = 3;
    View m_view = View::Curve;
    int m_requestedTest = 1;
    int m_requestedGroup = 1;
    int m_requestedRecord = 1;
    int m_lastStroke = int(Stroke::None);
    QVector<uint16_t> m_lastWrite;
    Counters m_counters;
};
