#include "device/modbusthread.h"

#include "device/defaultport.h"
#include "device/devicelock.h"
#include "device/registers.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <modbus.h>

#include <cerrno>

using namespace TesterRegisters;

namespace {

// Pause between polls of the live values.
constexpr qint64 PollPeriodMs = 200;
// The counters reach the window at most this often while nothing else changes.
constexpr qint64 ReportPeriodMs = 1000;
// Time the controller needs to place a request's reply in its registers.
constexpr qint64 RequestReplyDelayMs = 200;
// Between two tries of a Stop that the tester answered busy, at Disconnect.
constexpr qint64 StopRetryMs = 100;
// Input registers 4 and 5, the machine type and the force decimals, read in one go.
constexpr int TesterIdentityCount = 2;

bool lineSettingsValid(int dataBits, int stopBits, char parity)
{
    // libmodbus takes any other data or stop bits as 8 and 2 without a word.
    return dataBits >= 5 && dataBits <= 8 && (stopBits == 1 || stopBits == 2)
           && (parity == 'N' || parity == 'E' || parity == 'O');
}

} // namespace

modbusThread::modbusThread(QObject *parent)
    : QThread(parent)
    , portName(defaultDevicePath())
{
    qRegisterMetaType<LinkReport>();
    qRegisterMetaType<TesterIdentity>();
    linkClock.start();
}

modbusThread::~modbusThread()
{
    // The window waits for the loop before deleting the worker; this only
    // guards against a caller that did not.
    stopThread();
    wait();
    closeSerial();
}

// The loop reopens a failed port on its own thread while the GUI thread may
// be making a request: the context is created and freed under the device
// lock only, so a transaction never meets a half-opened or freed context.
bool modbusThread::openSerial()
{
    DeviceLock locker(&mutex);
    closeContext();
    health.restart(linkClock.elapsed());
    // A new connection may be to any tester: Connect reads what it is.
    expectedTester = TesterIdentity();
    testerUnconfirmed = false;
    openFailure = PortOpenFailure();
    if (!openContext(&openFailure))
        return false;
    curveMode = false;
    return true;
}

bool modbusThread::closeSerial()
{
    DeviceLock locker(&mutex);
    // Connect sends nothing unasked: a Stop still waiting ends with the link.
    stopPending = false;
    closeContext();
    // Closed on purpose: nothing to reopen.
    health.restart(linkClock.elapsed());
    return true;
}

// Mutex held.
bool modbusThread::openContext(PortOpenFailure *why)
{
    why->device = portName;
    if (!lineSettingsValid(dataBits, stopBits, parity)) {
        why->reason = PortOpenFailure::UnsupportedLineSettings;
        return false;
    }
    if (!portGuard.claim(portName, why))
        return false;
    const QByteArray device = portName.toLatin1();
    ctx = modbus_new_rtu(device.constData(), baudRate, parity, dataBits, stopBits);
    if (!ctx) {
        why->reason = PortOpenFailure::UnsupportedLineSettings;
        portGuard.release();
        return false;
    }
    if (modbus_connect(ctx) == -1) {
        *why = PortGuard::explainLibraryFailure(portName);
        modbus_free(ctx);
        ctx = nullptr;
        portGuard.release();
        return false;
    }
    if (!portGuard.secure(modbus_get_socket(ctx), baudRate, why)) {
        closeContext();
        return false;
    }
    // Whatever the line held before we opened it is no answer of ours.
    modbus_flush(ctx);
    return true;
}

// Mutex held.
void modbusThread::closeContext()
{
    if (!ctx)
        return;
    portGuard.release();
    modbus_close(ctx);
    modbus_free(ctx);
    ctx = nullptr;
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
    // The loop reads the settings when it reopens a failed port.
    DeviceLock locker(&mutex);
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
    const int returned = modbus_read_input_registers(ctx, address, 1, value);
    noteTransaction(returned, errno, returned == 1);
    return returned == 1;
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
CommandReply modbusThread::writeCommand(const QVector<quint16> &command)
{
    prepareTransaction();
    const int returned = modbus_write_registers(ctx, CommandAddress, command.size(), command.constData());
    const int error = errno;
    return commandReplyOf(noteTransaction(returned, error, returned == command.size()), error);
}

// Mutex held, connection open. Returns what libmodbus returned.
int modbusThread::readHoldingRegisters(int count, QVector<quint16> *registers)
{
    prepareTransaction();
    const int returned = modbus_read_registers(ctx, ReplyAddress, count, registers->data());
    noteTransaction(returned, errno, returned == count);
    return returned;
}

// Mutex held, right after a transaction; `error` is its errno. `accepted`
// tells a whole answer that was used from one that was dropped. A port that
// failed is closed here, so that the loop reopens it and nobody else uses it
// meanwhile.
LinkOutcome modbusThread::noteTransaction(int returned, int error, bool accepted)
{
    LinkOutcome outcome = LinkOutcome::Answered;
    if (returned < 0)
        outcome = classifyFailure(error);
    else if (!accepted)
        outcome = LinkOutcome::Rejected;
    health.record(outcome, linkClock.elapsed(), curveMode);
    if (outcome == LinkOutcome::DeviceFailed)
        closeContext();
    return outcome;
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

CommandReply modbusThread::startTest(const Curve_Setting &setting)
{
    DeviceLock locker(&mutex);
    if (!ctx)
        return CommandReply::NoLink;
    const CommandReply reply = writeCommand(startCommand(setting));
    if (reply == CommandReply::Taken) {
        // The new start supersedes a Stop still waiting for the line.
        stopPending = false;
        curveMode = true;
    } else if (reply == CommandReply::NotAnswered) {
        // The machine may have taken it and only the answer been lost: a
        // crosshead nobody collects must not run on. A failed port has been
        // closed under the command; the loop sends Stop when it is back.
        stopPending = !(ctx && isDelivered(writeCommand(stopCommand())));
    }
    return reply;
}

// A motorised machine must not run on because the adapter was out, or the
// command lost on the line, when the operator pressed Stop.
CommandReply modbusThread::stopTest()
{
    DeviceLock locker(&mutex);
    const CommandReply reply = ctx ? writeCommand(stopCommand()) : CommandReply::NoLink;
    stopPending = !isDelivered(reply);
    curveMode = false;
    return reply;
}

// From the loop, with the port open: one more try, no sooner than the poll
// period after a try that failed.
void modbusThread::sendPendingStop()
{
    bool sent;
    {
        DeviceLock locker(&mutex);
        if (!ctx || !stopPending)
            return;
        sent = isDelivered(writeCommand(stopCommand()));
        stopPending = !sent;
    }
    if (sent)
        emit sendStopDelivered();
    else
        pause(PollPeriodMs);
}

// On the calling thread, the loop ended. Each try is planned to take as long
// as the last one did (an answer "busy" comes at once, a lost one costs the
// response timeout), so that the whole stays within StopBeforeClosingMs.
bool modbusThread::stopBeforeClosing()
{
    if (!curveMode && !stopPending)
        return true;
    QElapsedTimer waited;
    waited.start();
    qint64 lastTryMs = 0;
    do {
        const qint64 began = waited.elapsed();
        CommandReply reply;
        {
            DeviceLock locker(&mutex);
            reply = ctx ? writeCommand(stopCommand()) : CommandReply::NoLink;
        }
        if (isDelivered(reply)) {
            stopPending = false;
            curveMode = false;
            return true;
        }
        // Nothing goes through a port that is gone.
        if (reply == CommandReply::NoLink)
            break;
        lastTryMs = waited.elapsed() - began;
        QThread::msleep(StopRetryMs);
    } while (waited.elapsed() + qMax(lastTryMs, StopRetryMs) <= StopBeforeClosingMs);
    curveMode = false;
    return false;
}

void modbusThread::expectTester(const TesterIdentity &identity)
{
    DeviceLock locker(&mutex);
    expectedTester = identity;
}

// From the loop, right after the port was reopened. Returns false when the
// port answers as another tester: the loop then ends, and nothing (not even
// a pending Stop) is sent to a machine that is not the one under test.
bool modbusThread::confirmTester()
{
    TesterIdentity found;
    int returned;
    int error;
    {
        DeviceLock locker(&mutex);
        if (!ctx)
            return true;
        prepareTransaction();
        quint16 registers[TesterIdentityCount] = {};
        returned = modbus_read_input_registers(ctx, MachineTypeAddress, TesterIdentityCount, registers);
        error = errno;
        noteTransaction(returned, error, returned == TesterIdentityCount);
        if (returned == TesterIdentityCount) {
            found.machineType = registers[0];
            found.forceDecimals = registers[ForceDecimalsAddress - MachineTypeAddress];
            if (expectedTester.admits(found)) {
                testerUnconfirmed = false;
                return true;
            }
            stopPending = false;
            curveMode = false;
            running = false;
        }
    }
    if (!found.isKnown()) {
        // Not read: ask again, no test point is taken meanwhile. A timeout
        // has already waited longer than a poll period.
        if (!(returned < 0 && error == ETIMEDOUT))
            pause(PollPeriodMs);
        return true;
    }
    emit sendTesterChanged(found);
    return false;
}

void modbusThread::stopThread()
{
    running = false;
    // run() sets running when the new thread gets going, which can be after
    // a stop asked for right after start(); the interruption flag, cleared
    // by start() itself, keeps that stop from being lost.
    requestInterruption();
    // A loop waiting to reopen a failed port must not keep Disconnect
    // waiting for the rest of its second.
    QMutexLocker locker(&pauseMutex);
    pauseEnded.wakeAll();
}

// The loop's sleep: ends early when the loop is stopped. The flags are
// checked under pauseMutex, which stopThread takes before waking, so a stop
// cannot fall between the check and the wait.
void modbusThread::pause(qint64 ms)
{
    QMutexLocker locker(&pauseMutex);
    if (running && !isInterruptionRequested())
        pauseEnded.wait(&pauseMutex, ulong(ms));
}

void modbusThread::getSystemSet(int index)
{
    DeviceLock locker(&mutex);
    if (!ctx)
        return;
    writeCommand(settingRequest(index));
    // A port that failed under the command has been closed: no reply to wait for.
    if (!ctx)
        return;
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
    // A port that failed under the command has been closed: no reply to wait for.
    if (!ctx)
        return;
    waitForReply();
    QVector<quint16> registers(RequestBufferCount, 0);
    const int returned = readHoldingRegisters(DataReplyCount, &registers);
    SystemData reply;
    if (decodeDataReply(registers, returned, &reply))
        emit sendSystemData(reply.pointData, reply.systemData);
}

// Returns whether the poll waited out the response timeout.
bool modbusThread::pollLiveValue(QVector<quint16> *block)
{
    int returned;
    int error;
    LivePoint point;
    bool accepted = false;
    {
        DeviceLock locker(&mutex);
        if (!ctx)
            return false;
        prepareTransaction();
        returned = modbus_read_input_registers(ctx, LivePointAddress, LivePointCount, block->data());
        error = errno;
        accepted = decodeLivePoint(*block, returned, &point);
        noteTransaction(returned, error, accepted);
    }
    if (accepted)
        emit sendCurrentPointValue(point.distance, point.force);
    return returned < 0 && error == ETIMEDOUT;
}

void modbusThread::readCurveBlock(QVector<quint16> *block)
{
    int returned;
    {
        DeviceLock locker(&mutex);
        if (!ctx)
            return;
        prepareTransaction();
        returned = modbus_read_registers(ctx, ReplyAddress, CurveBlockCount, block->data());
        const int error = errno;
        // A block of no points is what the machine sends while it has none
        // to hand out: an answer, not a rejected block.
        const bool empty = returned == CurveBlockCount && (*block)[1] == 0;
        noteTransaction(returned, error, empty || !decodeCurveBlock(*block, returned).isEmpty());
    }
    const QVector<CurvePoint> points = decodeCurveBlock(*block, returned);
    for (const CurvePoint &point : points)
        emit sendCurveData(point.stroke, point.distance, point.force);
}

// The port failed under the loop: try the same device string again every
// second. A symbolic link (/dev/serial/by-id/...) is followed anew by each
// open, so an adapter that comes back under another node is found. Curve
// mode is kept, so a test that was running goes on being collected.
void modbusThread::reopenWhenDue()
{
    qint64 wait;
    {
        DeviceLock locker(&mutex);
        wait = health.msUntilReopen(linkClock.elapsed());
    }
    pause(wait);
    if (!running || isInterruptionRequested())
        return;
    DeviceLock locker(&mutex);
    if (ctx)
        return;
    PortOpenFailure why;
    if (openContext(&why)) {
        health.reopened();
        testerUnconfirmed = expectedTester.isKnown();
    } else {
        health.reopenFailed(linkClock.elapsed());
    }
}

void modbusThread::reportLinkHealth()
{
    LinkReport report;
    qint64 lastAnswerAt;
    {
        DeviceLock locker(&mutex);
        report.answering = health.answering();
        report.portClosed = health.portClosed();
        report.lastGapMs = health.lastGapMs();
        report.lastGapDuringTest = health.lastGapDuringTest();
        report.counters = health.counters();
        lastAnswerAt = health.lastAnswerAt();
    }
    const qint64 now = linkClock.elapsed();
    const bool changed = report.answering != reported.answering
                         || report.portClosed != reported.portClosed
                         || report.lastGapMs != reported.lastGapMs;
    const bool countersDue = report.counters != reported.counters && now - reportedAt >= ReportPeriodMs;
    if (!changed && !countersDue)
        return;
    if (!report.answering)
        report.silentSince = QDateTime::currentDateTime().addMSecs(lastAnswerAt - now);
    reported = report;
    reportedAt = now;
    emit sendLinkReport(report);
}

void modbusThread::run()
{
    {
        DeviceLock locker(&mutex);
        // Nothing to do without a connection, unless the port failed since
        // Connect opened it and is waiting to be reopened.
        if (!ctx && !health.portClosed())
            return;
        reported = LinkReport();
        reported.counters = health.counters();
    }
    running = true;
    reportedAt = linkClock.elapsed();
    QVector<quint16> curveBlock(CurveBlockCount, 0);
    QVector<quint16> liveBlock(LivePointCount, 0);
    do {
        bool portClosed;
        {
            DeviceLock locker(&mutex);
            portClosed = !ctx;
        }
        if (portClosed) {
            reopenWhenDue();
        } else if (testerUnconfirmed) {
            if (!confirmTester())
                return;
        } else if (stopPending) {
            sendPendingStop();
        } else if (!curveMode) {
            // A poll that timed out has already waited longer than a poll
            // period; asking again at once keeps the polls as far apart as
            // ever and lets a silent tester show within about a second.
            if (!pollLiveValue(&liveBlock))
                pause(PollPeriodMs);
        } else {
            readCurveBlock(&curveBlock);
        }
        reportLinkHealth();
    } while (running && !isInterruptionRequested());
}
