#include "device/modbusthread.h"

#include "device/defaultport.h"
#include "device/devicelock.h"
#include "device/registers.h"

#include <QElapsedTimer>

#include <modbus.h>

#include <cerrno>

using namespace TesterRegisters;

namespace {

// Pause between polls of the live values, and before the next curve read
// when the line is dead.
constexpr unsigned long PollPeriodMs = 200;
// Time the controller needs to place a request's reply in its registers.
constexpr qint64 RequestReplyDelayMs = 200;

} // namespace

modbusThread::modbusThread(QObject *parent)
    : QThread(parent)
    , portName(defaultDevicePath())
{
}

modbusThread::~modbusThread()
{
    // The window waits for the loop before deleting the worker; this only
    // guards against a caller that did not.
    stopThread();
    wait();
    closeSerial();
}

bool modbusThread::openSerial()
{
    closeSerial();
    const QByteArray device = portName.toLatin1();
    ctx = modbus_new_rtu(device.constData(), baudRate, parity, dataBits, stopBits);
    if (!ctx)
        return false;
    if (modbus_connect(ctx) == -1) {
        modbus_free(ctx);
        ctx = nullptr;
        return false;
    }
    // Whatever the line held before we opened it is no answer of ours.
    modbus_flush(ctx);
    curveMode = false;
    return true;
}

bool modbusThread::closeSerial()
{
    if (ctx) {
        modbus_close(ctx);
        modbus_free(ctx);
        ctx = nullptr;
    }
    return true;
}

Serial_Setting_Type modbusThread::getSerialSetting() const
{
    Serial_Setting_Type setting;
    setting.portName = portName;
    setting.baudRate = baudRate;
    setting.dataBits = dataBits;
    setting.stopBits = stopBits;
    setting.parity = parity;
    return setting;
}

void modbusThread::receiveSerailSetting(Serial_Setting_Type setting)
{
    portName = setting.portName;
    baudRate = setting.baudRate;
    dataBits = setting.dataBits;
    stopBits = setting.stopBits;
    parity = setting.parity;
}

// Called with the mutex held, before each transaction. A reply that arrived
// after its request timed out still sits in the line's input; left there it
// would be taken as the answer to the next request, and every later reading
// would be one behind.
void modbusThread::prepareTransaction()
{
    modbus_flush(ctx);
    modbus_set_slave(ctx, SlaveAddress);
}

bool modbusThread::readInputRegister(int address, quint16 *value)
{
    DeviceLock locker(&mutex);
    if (!ctx)
        return false;
    prepareTransaction();
    return modbus_read_input_registers(ctx, address, 1, value) == 1;
}

quint16 modbusThread::getMachineType()
{
    quint16 value = 0;
    return readInputRegister(MachineTypeAddress, &value) ? value : 0;
}

quint16 modbusThread::getForceDecimals()
{
    quint16 value = 0;
    return readInputRegister(ForceDecimalsAddress, &value) ? value : 0;
}

bool modbusThread::readForceDecimals(quint16 *decimals)
{
    quint16 value = 0;
    if (!readInputRegister(ForceDecimalsAddress, &value))
        return false;
    *decimals = value;
    return true;
}

// Mutex held, connection open.
void modbusThread::writeCommand(const QVector<quint16> &command)
{
    prepareTransaction();
    // The controller reports nothing useful for a lost command; its effect
    // shows in what is read next.
    modbus_write_registers(ctx, CommandAddress, command.size(), command.constData());
}

// Mutex held, connection open. Returns what libmodbus returned.
int modbusThread::readHoldingRegisters(int count, QVector<quint16> *registers)
{
    prepareTransaction();
    return modbus_read_registers(ctx, ReplyAddress, count, registers->data());
}

// A read that failed without waiting for the response timeout, and not
// because of a garbled answer, means the line itself is gone (a USB adapter
// pulled, say): retrying at once would only spin.
bool modbusThread::readFailedAtOnce() const
{
    const int error = errno;
    return error != ETIMEDOUT && error < MODBUS_ENOBASE;
}

// Mutex held. The controller needs this long to place a request's reply in
// its registers; the loop must not read in between, so the wait keeps the
// mutex and keeps this thread on the clock rather than asleep.
void modbusThread::waitForReply()
{
    QElapsedTimer pause;
    pause.start();
    while (pause.elapsed() < RequestReplyDelayMs) {
    }
}

void modbusThread::startTest(const Curve_Setting &setting)
{
    DeviceLock locker(&mutex);
    curveMode = true;
    if (ctx)
        writeCommand(startCommand(setting));
}

void modbusThread::stopTest()
{
    DeviceLock locker(&mutex);
    if (ctx)
        writeCommand(stopCommand());
    curveMode = false;
}

void modbusThread::stopThread()
{
    running = false;
    // run() sets running when the new thread gets going, which can be after
    // a stop asked for right after start(); the interruption flag, cleared
    // by start() itself, keeps that stop from being lost.
    requestInterruption();
}

void modbusThread::getSystemSet(int index)
{
    DeviceLock locker(&mutex);
    if (!ctx)
        return;
    writeCommand(settingRequest(index));
    waitForReply();
    QVector<quint16> registers(RequestBufferCount, 0);
    const int returned = readHoldingRegisters(SettingReplyCount, &registers);
    SystemSetting reply;
    if (decodeSettingReply(registers, returned, &reply))
        emit sendSystemSetting(reply.pointSet, reply.systemSet);
}

void modbusThread::getSystemData(int index, int scanIndex)
{
    DeviceLock locker(&mutex);
    if (!ctx)
        return;
    writeCommand(dataRequest(index, scanIndex));
    waitForReply();
    QVector<quint16> registers(RequestBufferCount, 0);
    const int returned = readHoldingRegisters(DataReplyCount, &registers);
    SystemData reply;
    if (decodeDataReply(registers, returned, &reply))
        emit sendSystemData(reply.pointData, reply.systemData);
}

void modbusThread::run()
{
    if (!ctx)
        return;
    running = true;
    QVector<quint16> curveBlock(CurveBlockCount, 0);
    QVector<quint16> liveBlock(LivePointCount, 0);
    do {
        if (!curveMode) {
            int returned;
            {
                DeviceLock locker(&mutex);
                prepareTransaction();
                returned = modbus_read_input_registers(ctx, LivePointAddress, LivePointCount,
                                                       liveBlock.data());
            }
            LivePoint point;
            if (decodeLivePoint(liveBlock, returned, &point))
                emit sendCurrentPointValue(point.distance, point.force);
            msleep(PollPeriodMs);
        } else {
            int returned;
            bool lineDead = false;
            {
                DeviceLock locker(&mutex);
                returned = readHoldingRegisters(CurveBlockCount, &curveBlock);
                lineDead = returned == -1 && readFailedAtOnce();
            }
            const QVector<CurvePoint> points = decodeCurveBlock(curveBlock, returned);
            for (const CurvePoint &point : points)
                emit sendCurveData(point.stroke, point.distance, point.force);
            if (lineDead)
                msleep(PollPeriodMs);
        }
    } while (running && !isInterruptionRequested());
}
