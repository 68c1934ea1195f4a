#include "testercontroller.h"

#include "faultset.h"
#include "modbusslave.h"
#include "registercodec.h"
#include "storeddata.h"

#include <algorithm>
#include <limits>

namespace {
// Input registers.
constexpr int liveForceRegister = 0;
constexpr int liveDistanceRegister = 2;
constexpr int liveRegisters = 4;
constexpr int machineTypeRegister = 4;
constexpr int forceDecimalsRegister = 5;

// Command block.
constexpr int startCode = 3;
constexpr int stopCode = 4;
constexpr int settingRequestCode = 5;
constexpr int dataRequestCode = 7;
constexpr int startMarker = 5;

// Curve block.
constexpr int curveHeaderRegisters = 2;
constexpr int registersPerPoint = 4;
constexpr int maxPointsPerBlock = 30;
constexpr uint16_t countZero = 0;
constexpr uint16_t countAboveLimit = 31;
constexpr uint16_t invalidStroke = 3;
} // namespace

TesterController::TesterController(SpringMachine &machine, FaultSet &faults, uint16_t *inputRegisters,
                                   uint16_t *holdingRegisters)
    : m_machine(machine), m_faults(faults), m_input(inputRegisters), m_holding(holdingRegisters)
{
}

void TesterController::prepare(const ModbusRequest &request, SpringMachine::Clock::time_point now)
{
    switch (request.function) {
    case MODBUS_FC_READ_INPUT_REGISTERS:
        ++m_counters.readInput;
        m_input[machineTypeRegister] = uint16_t(m_machineType);
        m_input[forceDecimalsRegister] = uint16_t(m_forceDecimals);
        if (request.address < liveRegisters && request.address + request.count <= inputRegisterCount)
            prepareLive(now);
        break;
    case MODBUS_FC_READ_HOLDING_REGISTERS:
        ++m_counters.readHolding;
        // Only a read from register 0 takes a new block; one further up
        // looks at the block already there.
        if (request.address == 0 && request.count >= 1 && request.count <= holdingRegisterCount)
            prepareHoldingBlock(request.count, now);
        break;
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        ++m_counters.writeMultiple;
        break;
    default:
        ++m_counters.other;
        break;
    }
}

void TesterController::written(const ModbusRequest &request, SpringMachine::Clock::time_point now)
{
    const bool write = request.function == MODBUS_FC_WRITE_MULTIPLE_REGISTERS || request.function == MODBUS_FC_WRITE_SINGLE_REGISTER;
    if (!write || request.address + request.count > holdingRegisterCount)
        return;
    m_lastWrite.clear();
    for (int i = request.address; i < request.address + request.count; ++i)
        m_lastWrite << m_holding[i];
    if (request.address == 0)
        execute(now);
}

void TesterController::prepareLive(SpringMachine::Clock::time_point now)
{
    const LiveReading reading = m_machine.live(now);
    RegisterCodec::putFloat(m_input + liveForceRegister, reading.force);
    RegisterCodec::putFloat(m_input + liveDistanceRegister, reading.distance);
    spoilFloats(m_input + liveForceRegister, 2);
}

void TesterController::prepareHoldingBlock(int count, SpringMachine::Clock::time_point now)
{
    const View view = m_view;
    // A reply is shown once; the block read after it is a curve block again,
    // so that a request made during a test does not stall the curve.
    m_view = View::Curve;
    switch (view) {
    case View::SettingReply:
        prepareSettingReply();
        break;
    case View::DataReply:
        prepareDataReply();
        break;
    case View::Curve:
        prepareCurveBlock(count, now);
        break;
    }
}

void TesterController::prepareCurveBlock(int count, SpringMachine::Clock::time_point now)
{
    const int room = std::max(0, (count - curveHeaderRegisters) / registersPerPoint);
    const CurveBlock block = m_machine.takeBlock(std::min(room, maxPointsPerBlock), now);
    std::fill(m_holding, m_holding + holdingRegisterCount, uint16_t(0));
    if (!block.points.empty())
        m_lastStroke = int(block.stroke);
    m_holding[0] = uint16_t(m_lastStroke);
    m_holding[1] = uint16_t(block.points.size());
    uint16_t *point = m_holding + curveHeaderRegisters;
    for (const CurvePoint &curvePoint : block.points) {
        RegisterCodec::putFloat(point, curvePoint.force);
        RegisterCodec::putFloat(point + 2, curvePoint.distance);
        point += registersPerPoint;
    }
    if (block.points.empty())
        return;
    // Block faults spoil blocks that carry points only, so that a test can
    // tell exactly which points went missing.
    if (m_faults.take(Fault::Count0))
        m_holding[1] = countZero;
    if (m_faults.take(Fault::Count31))
        m_holding[1] = countAboveLimit;
    if (m_faults.take(Fault::Type3))
        m_holding[0] = invalidStroke;
    spoilFloats(m_holding + curveHeaderRegisters, int(block.points.size()) * 2);
}

void TesterController::prepareSettingReply()
{
    std::fill(m_holding, m_holding + holdingRegisterCount, uint16_t(0));
    StoredData::settingReply(m_requestedTest, m_holding);
    if (m_faults.take(Fault::WrongCode))
        m_holding[0] = StoredData::settingReplyCode + 1;
    if (m_faults.take(Fault::Reg1LtReg2))
        m_holding[2] = uint16_t(m_holding[1] + 1);
}

void TesterController::prepareDataReply()
{
    std::fill(m_holding, m_holding + holdingRegisterCount, uint16_t(0));
    StoredData::dataReply(m_requestedGroup, m_requestedRecord, m_holding);
    if (m_faults.take(Fault::WrongCode))
        m_holding[0] = StoredData::dataReplyCode + 1;
}

void TesterController::spoilFloats(uint16_t *first, int floatCount)
{
    const bool nan = m_faults.take(Fault::NaN);
    const bool inf = !nan && m_faults.take(Fault::Inf);
    if (!nan && !inf)
        return;
    // Forces and distances alternate, forces first.
    for (int i = 0; i < floatCount; ++i) {
        const float value = nan ? std::numeric_limits<float>::quiet_NaN()
                                : (i % 2 == 0 ? 1.0f : -1.0f) * std::numeric_limits<float>::infinity();
        RegisterCodec::putFloat(first + 2 * i, value);
    }
}

void TesterController::execute(SpringMachine::Clock::time_point now)
{
    switch (m_holding[0]) {
    case startCode: {
        m_view = View::Curve;
        if (m_holding[1] != startMarker)
            return;
        StartCommand command;
        command.mode = m_holding[2];
        command.distanceMode = m_holding[3];
        command.speed = m_holding[4];
        command.distance = RegisterCodec::getFloat(m_holding + 5);
        if (m_machine.start(command, now))
            m_lastStroke = int(Stroke::None);
        break;
    }
    case stopCode:
        m_view = View::Curve;
        m_machine.stop(now);
        break;
    case settingRequestCode:
        m_view = View::SettingReply;
        m_requestedTest = m_holding[1];
        break;
    case dataRequestCode:
        m_view = View::DataReply;
        m_requestedGroup = m_holding[1];
        m_requestedRecord = m_holding[2];
        break;
    default:
        break;
    }
}
