#include "controlchannel.h"

#include "faultset.h"
#include "testercontroller.h"

#include <QRegularExpression>

#include <cmath>

namespace {
constexpr int maxRegisterValue = 65535;

QString ok(const QString &data = QString())
{
    return data.isEmpty() ? QStringLiteral("ok") : QStringLiteral("ok ") + data;
}

QString error(const QString &reason)
{
    return QStringLiteral("error ") + reason;
}

QString number(double value)
{
    return QString::number(value, 'f', 6);
}

const char *phaseName(SpringMachine::Phase phase)
{
    switch (phase) {
    case SpringMachine::Phase::Forward:
        return "forward";
    case SpringMachine::Phase::Return:
        return "return";
    case SpringMachine::Phase::Idle:
        break;
    }
    return "idle";
}
} // namespace

ControlChannel::ControlChannel(FaultSet &faults, SpringMachine &machine, TesterController &controller,
                               LineControl &line)
    : m_faults(faults), m_machine(machine), m_controller(controller), m_line(line)
{
}

QString ControlChannel::describe()
{
    return QStringLiteral(
        "  fault NAME [COUNT]  spoil the next COUNT answers the fault applies to\n"
        "                      (default: until cleared)\n"
        "  clear [NAME]        switch one fault, or all, off\n"
        "  hangup              close the line now, as if the adapter was pulled\n"
        "                      (the --link path goes with it)\n"
        "  reconnect           bring up a new line (re-pointing --link); ok PATH\n"
        "  set type N | decimals N | position MM | spring-rate R | noise N\n"
        "  state               ok phase=idle|forward|return position=MM produced=N\n"
        "                      handed=N total=N pty=PATH faults=LIST\n"
        "  last-write          ok and the registers of the last write\n"
        "  stats               ok fc03=N fc04=N fc16=N other=N rejected=N\n");
}

QString ControlChannel::execute(const QString &line, SpringMachine::Clock::time_point now)
{
    const QStringList words = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return error(QStringLiteral("empty command"));
    const QString &command = words.first();
    const bool bare = words.size() == 1;
    if (command == QLatin1String("fault"))
        return fault(words);
    if (command == QLatin1String("clear"))
        return clear(words);
    if (command == QLatin1String("set"))
        return set(words);
    if (command == QLatin1String("hangup") && bare) {
        m_line.hangUp();
        return ok();
    }
    if (command == QLatin1String("reconnect") && bare) {
        QString answer;
        return m_line.reconnect(&answer) ? ok(answer) : error(answer);
    }
    if (command == QLatin1String("state") && bare)
        return state(now);
    if (command == QLatin1String("last-write") && bare)
        return lastWrite();
    if (command == QLatin1String("stats") && bare)
        return stats();
    return error(QStringLiteral("unknown command: ") + line.trimmed());
}

QString ControlChannel::fault(const QStringList &words)
{
    if (words.size() < 2 || words.size() > 3)
        return error(QStringLiteral("usage: fault NAME [COUNT]"));
    Fault fault;
    if (!FaultSet::parse(words.at(1), &fault))
        return error(QStringLiteral("unknown fault: %1 (one of %2)").arg(words.at(1), FaultSet::names().join(QLatin1Char(' '))));
    int count = FaultSet::untilCleared;
    if (words.size() == 3) {
        bool valid = false;
        count = words.at(2).toInt(&valid);
        if (!valid || count < 1)
            return error(QStringLiteral("bad count: ") + words.at(2));
    }
    m_faults.set(fault, count);
    return ok();
}

QString ControlChannel::clear(const QStringList &words)
{
    if (words.size() == 1) {
        m_faults.clearAll();
        return ok();
    }
    Fault fault;
    if (words.size() != 2 || !FaultSet::parse(words.at(1), &fault))
        return error(QStringLiteral("usage: clear [NAME]"));
    m_faults.clear(fault);
    return ok();
}

QString ControlChannel::set(const QStringList &words)
{
    if (words.size() != 3)
        return error(QStringLiteral("usage: set NAME VALUE"));
    const QString &name = words.at(1);
    bool valid = false;
    const double value = words.at(2).toDouble(&valid);
    if (!valid || !std::isfinite(value))
        return error(QStringLiteral("not a number: ") + words.at(2));
    const bool registerValue = value >= 0 && value <= maxRegisterValue && value == int(value);
    if (name == QLatin1String("type") && registerValue)
        m_controller.setMachineType(int(value));
    else if (name == QLatin1String("decimals") && registerValue)
        m_controller.setForceDecimals(int(value));
    else if (name == QLatin1String("position"))
        m_machine.setPosition(value);
    else if (name == QLatin1String("spring-rate") && value >= 0)
        m_machine.model().springRate = value;
    else if (name == QLatin1String("noise") && value >= 0)
        m_machine.model().forceNoise = value;
    else
        return error(QStringLiteral("cannot set %1 to %2").arg(name, words.at(2)));
    return ok();
}

QString ControlChannel::state(SpringMachine::Clock::time_point now) const
{
    const SpringMachine::Status status = m_machine.status(now);
    return ok(QStringLiteral("phase=%1 position=%2 produced=%3 handed=%4 total=%5 pty=%6 faults=%7")
                  .arg(QLatin1String(phaseName(status.phase)), number(status.position))
                  .arg(status.produced)
                  .arg(status.handedOut)
                  .arg(status.total)
                  .arg(m_line.ptyPath(), m_faults.summary().replace(QLatin1Char(' '), QLatin1Char(','))));
}

QString ControlChannel::lastWrite() const
{
    QStringList registers;
    for (uint16_t value : m_controller.lastWrite())
        registers << QString::number(value);
    return ok(registers.join(QLatin1Char(' ')));
}

QString ControlChannel::stats() const
{
    const TesterController::Counters counters = m_controller.counters();
    return ok(QStringLiteral("fc03=%1 fc04=%2 fc16=%3 other=%4 rejected=%5")
                  .arg(counters.readHolding)
                  .arg(counters.readInput)
                  .arg(counters.writeMultiple)
                  .arg(counters.other)
                  .arg(m_line.rejectedFrames()));
}
