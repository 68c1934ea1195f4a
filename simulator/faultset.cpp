#include "faultset.h"

namespace {
struct FaultInfo
{
    Fault fault;
    const char *name;
    const char *description;
};

const FaultInfo faultTable[] = {
    {Fault::Silent, "silent", "no answer; the request is not carried out"},
    {Fault::BadCrc, "bad-crc", "the answer's CRC is corrupted"},
    {Fault::Junk, "junk", "random bytes instead of the answer"},
    {Fault::Truncated, "truncated", "only the first half of the answer is sent"},
    {Fault::WrongCode, "wrong-code", "setting/data reply with register 0 one above its code (7, 9)"},
    {Fault::Count0, "count-0", "curve block carrying points has count 0 (points are lost)"},
    {Fault::Count31, "count-31", "curve block carrying points has count 31 (points are lost)"},
    {Fault::Type3, "type-3", "curve block carrying points has type 3 (points are lost)"},
    {Fault::Reg1LtReg2, "reg1-lt-reg2", "setting reply with register 2 one above register 1"},
    {Fault::NaN, "nan", "live force/distance and curve points are NaN"},
    {Fault::Inf, "inf", "live values and curve points infinite (force +inf, distance -inf)"},
    {Fault::Late, "late", "the answer is sent after --late-ms (beyond the 0.5 s timeout)"},
    {Fault::Hangup, "hangup", "the line goes dead instead of answering (see reconnect)"},
    {Fault::SilentInput, "silent-input", "FC04 reads that include input register --silent-input go unheard"},
    {Fault::Busy, "busy", "writes answered with exception 06 (busy) and not carried out"},
    {Fault::LateWrite, "late-write", "as late, for writes only (the command is carried out)"},
};
static_assert(sizeof faultTable / sizeof faultTable[0] == FaultSet::faultCount,
              "one table row per fault, in enum order");
} // namespace

bool FaultSet::parse(const QString &name, Fault *fault)
{
    for (const FaultInfo &info : faultTable) {
        if (name == QLatin1String(info.name)) {
            *fault = info.fault;
            return true;
        }
    }
    return false;
}

QString FaultSet::name(Fault fault)
{
    return QLatin1String(faultTable[int(fault)].name);
}

QStringList FaultSet::names()
{
    QStringList list;
    for (const FaultInfo &info : faultTable)
        list << QLatin1String(info.name);
    return list;
}

QString FaultSet::describe()
{
    QString text;
    for (const FaultInfo &info : faultTable)
        text += QStringLiteral("  %1 %2\n").arg(QLatin1String(info.name), -13).arg(QLatin1String(info.description));
    return text;
}

void FaultSet::set(Fault fault, int count)
{
    m_remaining[int(fault)] = count;
}

void FaultSet::clear(Fault fault)
{
    m_remaining[int(fault)] = 0;
}

void FaultSet::clearAll()
{
    m_remaining.fill(0);
}

bool FaultSet::active(Fault fault) const
{
    return m_remaining[int(fault)] != 0;
}

bool FaultSet::take(Fault fault)
{
    int &remaining = m_remaining[int(fault)];
    if (remaining == 0)
        return false;
    if (remaining > 0)
        --remaining;
    return true;
}

QString FaultSet::summary() const
{
    QStringList active;
    for (const FaultInfo &info : faultTable) {
        const int remaining = m_remaining[int(info.fault)];
        if (remaining == untilCleared)
            active << QLatin1String(info.name);
        else if (remaining > 0)
            active << QStringLiteral("%1:%2").arg(QLatin1String(info.name)).arg(remaining);
    }
    return active.join(QLatin1Char(' '));
}
