#pragma once

#include "device/commandreply.h"
#include "device/testeridentity.h"

#include <QCoreApplication>
#include <QString>

// What the status bar says about Start and Stop when the tester did not
// take them, and about a reopened port that answers as another machine.
// Pure text from values, translated in the context "CommandTexts".
class CommandTexts
{
    Q_DECLARE_TR_FUNCTIONS(CommandTexts)

public:
    // A Start that opened no test; `stopPending`: the Stop that followed an
    // unanswered Start has not got through either.
    static QString startNotTaken(CommandReply reply, bool stopPending);
    // A Stop still pending, sent again by the worker.
    static QString stopPending(CommandReply reply);
    static QString stopDelivered();
    static QString closedWithoutStop(const QString &port);
    static QString testerReplaced(const TesterIdentity &connected, const TesterIdentity &found,
                                  bool testStopped);

private:
    static QString figure(int value);
};
