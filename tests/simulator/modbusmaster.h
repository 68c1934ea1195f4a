#pragma once

#include <modbus.h>

#include <QString>
#include <QVector>

#include <cstdint>

// A plain libmodbus RTU master for talking to the simulator directly, with
// the library's default 0.5 s timeouts, as the program uses it.
class ModbusMaster
{
public:
    explicit ModbusMaster(const QString &device, int baudRate = 115200, char parity = 'N', int dataBits = 8,
                          int stopBits = 1);
    ~ModbusMaster();
    ModbusMaster(const ModbusMaster &) = delete;
    ModbusMaster &operator=(const ModbusMaster &) = delete;

    bool isConnected() const { return m_connected; }
    modbus_t *context() const { return m_context; }

    // Empty on failure; errno then tells why.
    QVector<uint16_t> readInput(int address, int count);
    QVector<uint16_t> readHolding(int address, int count);
    bool write(const QVector<uint16_t> &registers);

    // Writes a request and reads its reply block, as the program does.
    QVector<uint16_t> request(const QVector<uint16_t> &command, int replyRegisters);

private:
    modbus_t *m_context = nullptr;
    bool m_connected = false;
};

// The wire encoding, written out here rather than shared with the
// simulator so that the two check each other.
float wordSwappedFloat(const QVector<uint16_t> &registers, int first);
void appendWordSwappedFloat(QVector<uint16_t> *registers, float value);
QVector<uint16_t> startCommand(int mode, int distanceMode, int speed, float distance);
