#include "modbusmaster.h"

#include <cstring>

namespace {
constexpr int slaveAddress = 1;
} // namespace

ModbusMaster::ModbusMaster(const QString &device, int baudRate, char parity, int dataBits, int stopBits)
{
    m_context = modbus_new_rtu(device.toLocal8Bit().constData(), baudRate, parity, dataBits, stopBits);
    if (!m_context)
        return;
    modbus_set_slave(m_context, slaveAddress);
    m_connected = modbus_connect(m_context) == 0;
}

ModbusMaster::~ModbusMaster()
{
    if (!m_context)
        return;
    if (m_connected)
        modbus_close(m_context);
    modbus_free(m_context);
}

QVector<uint16_t> ModbusMaster::readInput(int address, int count)
{
    QVector<uint16_t> registers(count);
    modbus_flush(m_context);
    if (modbus_read_input_registers(m_context, address, count, registers.data()) != count)
        registers.clear();
    return registers;
}

QVector<uint16_t> ModbusMaster::readHolding(int address, int count)
{
    QVector<uint16_t> registers(count);
    modbus_flush(m_context);
    if (modbus_read_registers(m_context, address, count, registers.data()) != count)
        registers.clear();
    return registers;
}

bool ModbusMaster::write(const QVector<uint16_t> &registers)
{
    modbus_flush(m_context);
    return modbus_write_registers(m_context, 0, registers.size(), registers.constData()) == registers.size();
}

QVector<uint16_t> ModbusMaster::request(const QVector<uint16_t> &command, int replyRegisters)
{
    if (!write(command))
        return {};
    return readHolding(0, replyRegisters);
}

float wordSwappedFloat(const QVector<uint16_t> &registers, int first)
{
    const uint32_t bits = uint32_t(registers.at(first)) | (uint32_t(registers.at(first + 1)) << 16);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void appendWordSwappedFloat(QVector<uint16_t> *registers, float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    *registers << uint16_t(bits & 0xFFFFu) << uint16_t(bits >> 16);
}

QVector<uint16_t> startCommand(int mode, int distanceMode, int speed, float distance)
{
    QVector<uint16_t> command{3, 5, uint16_t(mode), uint16_t(distanceMode), uint16_t(speed)};
    appendWordSwappedFloat(&command, distance);
    return command;
}
