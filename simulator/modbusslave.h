#pragma once

#include <modbus.h>

#include <cstdint>
#include <vector>

// The fields of a request that the controller acts on.
struct ModbusRequest
{
    std::vector<uint8_t> frame; // as received, address and CRC included
    int slave = 0;
    int function = 0;
    int address = 0;
    int count = 0;              // registers read or written
};

// libmodbus's server side on the line's master descriptor: it parses
// requests and builds the answers (exception answers included) from its
// register mapping. Answers are captured instead of being sent, so that the
// simulator can delay or spoil them before they go on the line.
class ModbusSlave
{
public:
    enum class Received { Request, NotForUs, Rejected };

    ModbusSlave(int address, int inputRegisters, int holdingRegisters);
    ~ModbusSlave();
    ModbusSlave(const ModbusSlave &) = delete;
    ModbusSlave &operator=(const ModbusSlave &) = delete;

    bool isValid() const { return m_context && m_mapping && m_captureWrite >= 0; }
    void attach(int fd);
    // Call when the descriptor is readable; reads one whole frame.
    Received receive(ModbusRequest *request);
    std::vector<uint8_t> answer(const ModbusRequest &request);
    // The exception answer `code` to the request instead.
    std::vector<uint8_t> exception(const ModbusRequest &request, int code);

    uint16_t *inputRegisters() { return m_mapping->tab_input_registers; }
    uint16_t *holdingRegisters() { return m_mapping->tab_registers; }
    int inputRegisterCount() const { return m_mapping->nb_input_registers; }
    int holdingRegisterCount() const { return m_mapping->nb_registers; }

private:
    void discardInput();
    std::vector<uint8_t> takeCaptured();

    modbus_t *m_context = nullptr;
    modbus_mapping_t *m_mapping = nullptr;
    int m_fd = -1;
    int m_captureRead = -1;
    int m_captureWrite = -1;
};
