#include "mainwindow/commandtexts.h"

#include <QStringList>

QString CommandTexts::startNotTaken(CommandReply reply, bool stopPending)
{
    switch (reply) {
    case CommandReply::Taken:
        break;
    case CommandReply::Busy:
        return tr("The tester was busy and did not take Start: no test runs. Press Start again.");
    case CommandReply::Refused:
        return tr("The tester refused Start: no test runs.");
    case CommandReply::NotAnswered:
        return stopPending
                   ? tr("The tester did not answer Start: no test runs. Stop is being sent "
                        "again in case the machine moved.")
                   : tr("The tester did not answer Start: no test runs. Stop was sent in case "
                        "the machine moved.");
    case CommandReply::NoLink:
        return tr("The port is being reopened: no test was started.");
    }
    return QString();
}

QString CommandTexts::stopPending(CommandReply reply)
{
    if (reply == CommandReply::Busy)
        return tr("The tester is busy and did not take Stop: it is being sent again. Start "
                  "waits until it has got through.");
    return tr("The tester did not get Stop; it is sent again as soon as the line is back.");
}

QString CommandTexts::stopDelivered()
{
    return tr("The tester got Stop. Start tests the next spring.");
}

QString CommandTexts::closedWithoutStop(const QString &port)
{
    return tr("%1 closed, but the tester did not answer Stop: check that the machine has "
              "stopped.")
        .arg(port);
}

QString CommandTexts::testerReplaced(const TesterIdentity &connected, const TesterIdentity &found,
                                     bool testStopped)
{
    // Only what differs: the status bar has room for a line.
    QStringList differences;
    if (connected.machineType != found.machineType)
        differences << tr("type %1, not %2").arg(figure(found.machineType), figure(connected.machineType));
    if (connected.forceDecimals != found.forceDecimals)
        differences << tr("%1 force decimals, not %2")
                           .arg(figure(found.forceDecimals), figure(connected.forceDecimals));
    const QString what = differences.join(tr("; "));
    return testStopped ? tr("Another machine answers (%1): recording stopped, port closed.").arg(what)
                       : tr("Another machine answers (%1): port closed.").arg(what);
}

QString CommandTexts::figure(int value)
{
    return value == TesterIdentity::Unknown ? tr("unknown") : QString::number(value);
}
