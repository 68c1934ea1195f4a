#pragma once

#include "springmachine.h"

#include <QString>
#include <QStringList>

class FaultSet;
class TesterController;

// What the control channel needs from the part of the simulator that owns
// the line.
class LineControl
{
public:
    virtual ~LineControl() = default;
    virtual void hangUp() = 0;
    // Brings up a new line; the path the program must open, or an error.
    virtual bool reconnect(QString *pathOrError) = 0;
    virtual QString ptyPath() const = 0;
    virtual int rejectedFrames() const = 0;
};

// The text commands a test sends on the simulator's stdin, one per line.
// Every line gets exactly one answer line: "ok" (with data for queries) or
// "error <reason>".
class ControlChannel
{
public:
    ControlChannel(FaultSet &faults, SpringMachine &machine, TesterController &controller, LineControl &line);

    QString execute(const QString &line, SpringMachine::Clock::time_point now);
    // The command summary for --help.
    static QString describe();

private:
    QString fault(const QStringList &words);
    QString clear(const QStringList &words);
    QString set(const QStringList &words);
    QString state(SpringMachine::Clock::time_point now) const;
    QString lastWrite() const;
    QString stats() const;

    FaultSet &m_faults;
    SpringMachine &m_machine;
    TesterController &m_controller;
    LineControl &m_line;
};
