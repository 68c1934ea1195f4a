#include "simulator.h"

#include <QTextStream>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <unistd.h>

namespace {
constexpr int slaveAddress = 1;
constexpr int exceptionBit = 0x80;
constexpr int controlChunk = 4096;

volatile sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

// Signals are blocked except while the loop waits in ppoll, so a stop
// request can never slip in between the check and the wait.
void installStopSignals(sigset_t *waitMask)
{
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signalNumber, &action, nullptr);
        sigaddset(&stopSignals, signalNumber);
    }
    std::signal(SIGPIPE, SIG_IGN);
    sigprocmask(SIG_BLOCK, &stopSignals, waitMask);
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        sigdelset(waitMask, signalNumber);
}

void printLine(const QString &line)
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

timespec toTimespec(std::chrono::nanoseconds duration)
{
    if (duration.count() < 0)
        duration = std::chrono::nanoseconds(0);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    timespec result{};
    result.tv_sec = time_t(seconds.count());
    result.tv_nsec = long((duration - seconds).count());
    return result;
}
} // namespace

Simulator::Simulator(const SimulatorOptions &options)
    : m_options(options),
      m_machine(options.model),
      m_line(options.linkPath),
      m_slave(slaveAddress, TesterController::inputRegisterCount, TesterController::holdingRegisterCount),
      m_controller(m_machine, m_faults, m_slave.inputRegisters(), m_slave.holdingRegisters()),
      m_control(m_faults, m_machine, m_controller, *this)
{
    m_controller.setMachineType(options.machineType);
    m_controller.setForceDecimals(options.forceDecimals);
    for (const SimulatorOptions::InitialFault &fault : options.faults)
        m_faults.set(fault.fault, fault.count);
}

int Simulator::run()
{
    if (!m_slave.isValid()) {
        QTextStream(stderr) << "torvelin-sim: cannot set up the Modbus slave\n";
        return 1;
    }
    // Before the path goes out: whoever reads it may stop us at once, and
    // the link must still be cleaned up then.
    sigset_t waitMask;
    installStopSignals(&waitMask);
    QString path;
    if (!reconnect(&path)) {
        QTextStream(stderr) << "torvelin-sim: " << path << '\n';
        return 1;
    }
    printLine(path);

    bool controlOpen = true;
    while (!stopRequested) {
        pollfd watched[2] = {};
        int count = 0;
        int controlIndex = -1;
        int lineIndex = -1;
        if (controlOpen) {
            controlIndex = count++;
            watched[controlIndex] = {STDIN_FILENO, POLLIN, 0};
        }
        // While an answer is on its way the line is not read: like the real
        // controller, the simulator takes the next request only afterwards.
        if (m_line.isUp() && !m_pending.active) {
            lineIndex = count++;
            watched[lineIndex] = {m_line.masterFd(), POLLIN, 0};
        }
        timespec timeout{};
        if (m_pending.active)
            timeout = toTimespec(m_pending.due - Clock::now());
        if (ppoll(watched, nfds_t(count), m_pending.active ? &timeout : nullptr, &waitMask) < 0) {
            if (errno == EINTR)
                continue;
            QTextStream(stderr) << "torvelin-sim: poll failed\n";
            return 1;
        }
        const Clock::time_point now = Clock::now();
        if (m_pending.active && now >= m_pending.due)
            sendPending();

        const unsigned generation = m_lineGeneration;
        if (controlIndex >= 0 && watched[controlIndex].revents != 0 && !readControl()) {
            controlOpen = false;
            if (m_options.exitOnEof)
                break;
        }
        // A control command may have replaced the line meanwhile.
        if (lineIndex < 0 || generation != m_lineGeneration)
            continue;
        if (watched[lineIndex].revents & POLLIN) {
            serveLine(now);
        } else if (watched[lineIndex].revents & (POLLHUP | POLLERR)) {
            // Nobody holds the slave side any more; take it again so that the
            // path stays usable, or give the line up.
            if (!m_line.holdSlave())
                hangUp();
        }
    }
    return 0;
}

void Simulator::hangUp()
{
    m_line.hangUp();
    m_slave.attach(-1);
    m_pending = PendingAnswer();
    ++m_lineGeneration;
}

bool Simulator::reconnect(QString *pathOrError)
{
    hangUp();
    if (!m_line.open(pathOrError)) {
        m_line.hangUp();
        return false;
    }
    m_slave.attach(m_line.masterFd());
    *pathOrError = m_line.devicePath();
    return true;
}

void Simulator::serveLine(Clock::time_point arrived)
{
    ModbusRequest request;
    switch (m_slave.receive(&request)) {
    case ModbusSlave::Received::Rejected:
        ++m_rejectedFrames;
        if (m_options.verbose)
            QTextStream(stderr) << "torvelin-sim: frame rejected\n";
        return;
    case ModbusSlave::Received::NotForUs:
        return;
    case ModbusSlave::Received::Request:
        log("request", request.frame);
        answer(request, arrived);
        return;
    }
}

void Simulator::answer(const ModbusRequest &request, Clock::time_point arrived)
{
    if (m_faults.take(Fault::Silent) || (readsSilentInput(request) && m_faults.take(Fault::SilentInput))) {
        log("unheard", request.frame);
        return;
    }
    if (m_faults.take(Fault::Hangup)) {
        log("hangup instead of answering", request.frame);
        hangUp();
        return;
    }
    m_controller.prepare(request, arrived);
    const bool write = request.function == MODBUS_FC_WRITE_MULTIPLE_REGISTERS
                       || request.function == MODBUS_FC_WRITE_SINGLE_REGISTER;
    std::vector<uint8_t> bytes = write && m_faults.take(Fault::Busy)
                                     ? m_slave.exception(request, MODBUS_EXCEPTION_SLAVE_OR_SERVER_BUSY)
                                     : m_slave.answer(request);
    const bool refused = bytes.size() >= 2 && (bytes[1] & exceptionBit);
    if (!refused)
        m_controller.written(request, arrived);
    if (bytes.empty())
        return; // broadcast
    spoilFrame(&bytes);

    double delay = 0.0;
    if (m_options.pacing)
        delay = m_options.line.transactionSeconds(int(request.frame.size()), int(bytes.size()));
    if (m_faults.take(Fault::Late) || (write && m_faults.take(Fault::LateWrite)))
        delay += m_options.lateMilliseconds / 1000.0;
    m_pending.bytes = std::move(bytes);
    m_pending.due = arrived + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(delay));
    m_pending.active = true;
    if (m_pending.due <= Clock::now())
        sendPending();
}

bool Simulator::readsSilentInput(const ModbusRequest &request) const
{
    const int silent = m_options.silentInputRegister;
    return request.function == MODBUS_FC_READ_INPUT_REGISTERS && request.address <= silent
           && silent < request.address + request.count;
}

void Simulator::spoilFrame(std::vector<uint8_t> *bytes)
{
    if (m_faults.take(Fault::Junk)) {
        std::uniform_int_distribution<int> byte(0, 255);
        for (uint8_t &value : *bytes)
            value = uint8_t(byte(m_random));
    }
    if (m_faults.take(Fault::BadCrc))
        bytes->back() ^= 0xFF;
    if (m_faults.take(Fault::Truncated))
        bytes->resize(bytes->size() / 2);
}

void Simulator::sendPending()
{
    m_pending.active = false;
    if (!m_line.isUp())
        return;
    log("answer", m_pending.bytes);
    const ssize_t written = ::write(m_line.masterFd(), m_pending.bytes.data(), m_pending.bytes.size());
    if (written != ssize_t(m_pending.bytes.size()) && m_options.verbose)
        QTextStream(stderr) << "torvelin-sim: answer not written whole\n";
}

bool Simulator::readControl()
{
    char chunk[controlChunk];
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return true;
    if (got <= 0)
        return false;
    m_controlInput.append(chunk, int(got));
    int end = 0;
    while ((end = m_controlInput.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(m_controlInput.left(end)).trimmed();
        m_controlInput.remove(0, end + 1);
        printLine(m_control.execute(line, Clock::now()));
    }
    return true;
}

void Simulator::log(const char *what, const std::vector<uint8_t> &bytes) const
{
    if (!m_options.verbose)
        return;
    QString hex;
    for (uint8_t value : bytes)
        hex += QStringLiteral(" %1").arg(value, 2, 16, QLatin1Char('0'));
    QTextStream(stderr) << "torvelin-sim: " << what << ':' << hex << '\n';
}
