#include "modbusslave.h"

#include <fcntl.h>
#include <unistd.h>

namespace {
// A request arrives in one piece through a pty; a frame still incomplete
// after this long is junk.
constexpr uint32_t byteTimeoutMicroseconds = 100000;

int word(const std::vector<uint8_t> &frame, int offset)
{
    if (int(frame.size()) < offset + 2)
        return 0;
    return (frame[offset] << 8) | frame[offset + 1];
}
} // namespace

ModbusSlave::ModbusSlave(int address, int inputRegisters, int holdingRegisters)
{
    // The device name and line settings are never used: the context does
    // not open anything, it is handed the pty's descriptor.
    m_context = modbus_new_rtu("/dev/null", 115200, 'N', 8, 1);
    m_mapping = modbus_mapping_new_start_address(0, 0, 0, 0, 0, holdingRegisters, 0, inputRegisters);
    int capture[2] = {-1, -1};
    if (::pipe2(capture, O_NONBLOCK | O_CLOEXEC) == 0) {
        m_captureRead = capture[0];
        m_captureWrite = capture[1];
    }
    if (m_context) {
        modbus_set_slave(m_context, address);
        modbus_set_byte_timeout(m_context, 0, byteTimeoutMicroseconds);
        // receive() is only called on a readable line, but a wake-up without
        // a frame must not block the simulator for good.
        modbus_set_indication_timeout(m_context, 0, byteTimeoutMicroseconds);
    }
}

ModbusSlave::~ModbusSlave()
{
    if (m_context) {
        // The descriptors are not the context's: keep modbus_free from
        // touching them.
        modbus_set_socket(m_context, -1);
        modbus_free(m_context);
    }
    if (m_mapping)
        modbus_mapping_free(m_mapping);
    if (m_captureRead >= 0)
        ::close(m_captureRead);
    if (m_captureWrite >= 0)
        ::close(m_captureWrite);
}

void ModbusSlave::attach(int fd)
{
    m_fd = fd;
    modbus_set_socket(m_context, fd);
}

ModbusSlave::Received ModbusSlave::receive(ModbusRequest *request)
{
    uint8_t buffer[MODBUS_RTU_MAX_ADU_LENGTH];
    const int length = modbus_receive(m_context, buffer);
    if (length < 0) {
        // Whatever is left of a broken frame would only start the next one
        // out of step.
        discardInput();
        return Received::Rejected;
    }
    if (length == 0)
        return Received::NotForUs;

    request->frame.assign(buffer, buffer + length);
    request->slave = buffer[0];
    request->function = buffer[1];
    request->address = word(request->frame, 2);
    switch (request->function) {
    case MODBUS_FC_READ_HOLDING_REGISTERS:
    case MODBUS_FC_READ_INPUT_REGISTERS:
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        request->count = word(request->frame, 4);
        break;
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
        request->count = 1;
        break;
    default:
        request->count = 0;
        break;
    }
    return Received::Request;
}

std::vector<uint8_t> ModbusSlave::answer(const ModbusRequest &request)
{
    modbus_set_socket(m_context, m_captureWrite);
    modbus_reply(m_context, request.frame.data(), int(request.frame.size()), m_mapping);
    modbus_set_socket(m_context, m_fd);
    return takeCaptured();
}

std::vector<uint8_t> ModbusSlave::exception(const ModbusRequest &request, int code)
{
    modbus_set_socket(m_context, m_captureWrite);
    modbus_reply_exception(m_context, request.frame.data(), unsigned(code));
    modbus_set_socket(m_context, m_fd);
    return takeCaptured();
}

std::vector<uint8_t> ModbusSlave::takeCaptured()
{
    std::vector<uint8_t> bytes;
    uint8_t chunk[MODBUS_RTU_MAX_ADU_LENGTH];
    ssize_t got = 0;
    while ((got = ::read(m_captureRead, chunk, sizeof chunk)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    return bytes;
}

void ModbusSlave::discardInput()
{
    if (m_fd < 0)
        return;
    uint8_t chunk[MODBUS_RTU_MAX_ADU_LENGTH];
    while (::read(m_fd, chunk, sizeof chunk) > 0) {
    }
}
