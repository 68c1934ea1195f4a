#pragma once

#include <QString>
#include <QStringList>

#include <array>

// Misbehaviour that tests switch on to see how the master copes. Each fault
// is either off, on for a number of the answers it applies to, or on until
// cleared.
enum class Fault {
    Silent,      // the request goes unheard: no answer, no effect
    BadCrc,      // the answer's CRC is wrong
    Junk,        // random bytes instead of the answer
    Truncated,   // only the first half of the answer
    WrongCode,   // setting/data reply with a wrong code in register 0
    Count0,      // curve block with points but count 0
    Count31,     // curve block with count 31
    Type3,       // curve block with type 3 in register 0
    Reg1LtReg2,  // setting reply whose register 1 is below register 2
    NaN,         // live values and curve points as NaN
    Inf,         // live values and curve points infinite
    Late,        // the answer comes after the master's timeout
    Hangup,      // the line goes dead instead of answering
    SilentInput, // reads of one input register (--silent-input) go unheard
    Busy,        // writes answered with exception 06 (busy), not carried out
    LateWrite,   // as Late, for writes only
};

class FaultSet
{
public:
    static constexpr int untilCleared = -1;
    static constexpr int faultCount = int(Fault::LateWrite) + 1;

    static bool parse(const QString &name, Fault *fault);
    static QString name(Fault fault);
    static QStringList names();
    // One line per fault for --help.
    static QString describe();

    // count: number of answers to spoil, or untilCleared.
    void set(Fault fault, int count = untilCleared);
    void clear(Fault fault);
    void clearAll();
    bool active(Fault fault) const;
    // True when the fault is on; uses up one of its answers.
    bool take(Fault fault);
    // "bad-crc:2 late" - the active faults with their remaining counts.
    QString summary() const;

private:
    std::array<int, faultCount> m_remaining{}; // 0 = off
};
