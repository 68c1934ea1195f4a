#include "device/linkhealth.h"

#include <modbus.h>

#include <algorithm>
#include <cerrno>

namespace {
// libmodbus reports a Modbus exception answer as MODBUS_ENOBASE + its code.
constexpr int FirstExceptionCode = MODBUS_EXCEPTION_ILLEGAL_FUNCTION;
constexpr int LastExceptionCode = MODBUS_EXCEPTION_GATEWAY_TARGET;
} // namespace

LinkOutcome classifyFailure(int error)
{
    if (error == ETIMEDOUT)
        return LinkOutcome::Timeout;
    if (error == EMBBADCRC)
        return LinkOutcome::BadCrc;
    if (error >= MODBUS_ENOBASE + FirstExceptionCode && error <= MODBUS_ENOBASE + LastExceptionCode)
        return LinkOutcome::Rejected;
    if (error >= MODBUS_ENOBASE)
        return LinkOutcome::Framing;
    // Anything the system itself reports (EIO from a hung-up line, EBADF,
    // a reset connection) comes from the port, not from the tester.
    return LinkOutcome::DeviceFailed;
}

bool LinkCounters::operator==(const LinkCounters &other) const
{
    return answers == other.answers && rejected == other.rejected && timeouts == other.timeouts
           && crcErrors == other.crcErrors && framingErrors == other.framingErrors
           && deviceFailures == other.deviceFailures && reopens == other.reopens;
}

void LinkHealth::restart(qint64 now)
{
    *this = LinkHealth();
    m_lastAnswerAt = now;
}

void LinkHealth::count(LinkOutcome outcome)
{
    switch (outcome) {
    case LinkOutcome::Answered: ++m_counters.answers; break;
    case LinkOutcome::Rejected: ++m_counters.rejected; break;
    case LinkOutcome::Timeout: ++m_counters.timeouts; break;
    case LinkOutcome::BadCrc: ++m_counters.crcErrors; break;
    case LinkOutcome::Framing: ++m_counters.framingErrors; break;
    case LinkOutcome::DeviceFailed: ++m_counters.deviceFailures; break;
    }
}

bool LinkHealth::record(LinkOutcome outcome, qint64 now, bool duringTest)
{
    count(outcome);
    switch (outcome) {
    case LinkOutcome::Answered:
    case LinkOutcome::Rejected: {
        // A rejected answer still proves the tester is there and hears us.
        m_failuresInRow = 0;
        const bool cameBack = !m_answering;
        if (cameBack) {
            m_answering = true;
            m_lastGapMs = now - m_lastAnswerAt;
            m_lastGapDuringTest = duringTest;
        }
        m_lastAnswerAt = now;
        return cameBack;
    }
    case LinkOutcome::Timeout:
    case LinkOutcome::BadCrc:
    case LinkOutcome::Framing:
        ++m_failuresInRow;
        if (m_answering && m_failuresInRow >= FailuresInRow && now - m_lastAnswerAt >= SilenceMs) {
            m_answering = false;
            return true;
        }
        return false;
    case LinkOutcome::DeviceFailed: {
        // No answer can come through a failed port: say so at once.
        const bool changed = m_answering || !m_portClosed;
        m_answering = false;
        m_portClosed = true;
        m_nextReopenAt = now + ReopenPeriodMs;
        return changed;
    }
    }
    return false;
}

void LinkHealth::reopened()
{
    ++m_counters.reopens;
    m_portClosed = false;
    m_failuresInRow = 0;
}

void LinkHealth::reopenFailed(qint64 now)
{
    m_nextReopenAt = now + ReopenPeriodMs;
}

qint64 LinkHealth::msUntilReopen(qint64 now) const
{
    return std::max<qint64>(0, m_nextReopenAt - now);
}
