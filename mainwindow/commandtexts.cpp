#include "mainwindow/commandtexts.h"

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

QString CommandTexts::testerReplaced(const QString &port, const TesterIdentity &connected,
                                     const TesterIdentity &found, bool testStopped)
{
    const QString what = tr("The tester on %1 answers as another machine (%2; connected to %3).")
                             .arg(port, identity(found), identity(connected));
    return what + QLatin1Char(' ')
           + (testStopped ? tr("The test's recording stopped and the port was closed: Connect "
                               "again to test on this machine.")
                          : tr("The port was closed: Connect again to test on this machine."));
}

QString CommandTexts::identity(const TesterIdentity &tester)
{
    const QString unknown = tr("unknown");
    const QString type = tester.machineType == TesterIdentity::Unknown
                             ? unknown
                             : QString::number(tester.machineType);
    const QString decimals = tester.forceDecimals == TesterIdentity::Unknown
                                 ? unknown
                                 : QString::number(tester.forceDecimals);
    return tr("type %1, %2 force decimals").arg(type, decimals);
}
