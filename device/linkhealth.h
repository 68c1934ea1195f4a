#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QtGlobal>

// What one transaction on the line came to.
enum class LinkOutcome {
    Answered,     // a whole answer the program could use
    Rejected,     // a whole answer it dropped (wrong reply code, bad count, a Modbus exception)
    Timeout,      // nothing, or not all of it, within the response timeout
    BadCrc,       // an answer whose checksum does not hold
    Framing,      // an answer of the wrong shape (length, slave address, function)
    DeviceFailed, // the port itself failed: the adapter is gone or the line hung up
};

// A failed libmodbus call's errno, sorted into what it says about the line.
LinkOutcome classifyFailure(int error);

// What happened on the line since the operator's last Connect.
struct LinkCounters
{
    quint64 answers = 0;
    quint64 rejected = 0;
    quint64 timeouts = 0;
    quint64 crcErrors = 0;
    quint64 framingErrors = 0;
    quint64 deviceFailures = 0;
    quint64 reopens = 0;

    bool operator==(const LinkCounters &other) const;
    bool operator!=(const LinkCounters &other) const { return !(*this == other); }
};

// The link as the window is told about it: a value that crosses from the
// worker's thread.
struct LinkReport
{
    bool answering = true;
    // The port failed and is being reopened every second.
    bool portClosed = false;
    // The last answer, while the tester does not answer.
    QDateTime silentSince;
    // Length of the last interruption, -1 before the first one, and whether
    // a test was running when the answers came back.
    qint64 lastGapMs = -1;
    bool lastGapDuringTest = false;
    LinkCounters counters;
};
Q_DECLARE_METATYPE(LinkReport)

// The worker's bookkeeping of the line: counts every transaction, decides
// whether the tester answers, and paces the reopening of a failed port. Pure:
// the caller passes the time (monotonic milliseconds).
class LinkHealth
{
public:
    // Without any answer for this long, and after this many failed
    // transactions in a row, the tester counts as not answering: one lost
    // answer on a noisy line is no outage, and a transaction that times out
    // takes 0.5 s, so two of them make about a second.
    static constexpr qint64 SilenceMs = 1000;
    static constexpr int FailuresInRow = 2;
    // A failed port is tried again this often.
    static constexpr qint64 ReopenPeriodMs = 1000;

    // A new connection: counters at zero, answering.
    void restart(qint64 now);
    // Returns true when the tester's answering or the port's state changed.
    bool record(LinkOutcome outcome, qint64 now, bool duringTest);
    void reopened();
    void reopenFailed(qint64 now);

    bool answering() const { return m_answering; }
    bool portClosed() const { return m_portClosed; }
    qint64 lastAnswerAt() const { return m_lastAnswerAt; }
    qint64 lastGapMs() const { return m_lastGapMs; }
    bool lastGapDuringTest() const { return m_lastGapDuringTest; }
    const LinkCounters &counters() const { return m_counters; }
    // How long to wait before the next attempt to reopen a failed port.
    qint64 msUntilReopen(qint64 now) const;

private:
    void count(LinkOutcome outcome);

    LinkCounters m_counters;
    bool m_answering = true;
    bool m_portClosed = false;
    int m_failuresInRow = 0;
    qint64 m_lastAnswerAt = 0;
    qint64 m_lastGapMs = -1;
    bool m_lastGapDuringTest = false;
    qint64 m_nextReopenAt = 0;
};
