#include "linkstatus/linktexts.h"

#include "numbers/numbertext.h"

namespace {
constexpr double MsPerSecond = 1000.0;
constexpr int SecondDecimals = 1;
const char TimeFormat[] = "hh:mm:ss";
} // namespace

QString LinkTexts::openFailure(const PortOpenFailure &failure)
{
    switch (failure.reason) {
    case PortOpenFailure::None:
        break;
    case PortOpenFailure::NoSuchDevice:
        return tr("the port %1 does not exist").arg(failure.device);
    case PortOpenFailure::PermissionDenied:
        if (failure.group.isEmpty())
            return tr("no permission to open %1").arg(failure.device);
        return tr("no permission to open %1: the user must be in the group %2 that owns it "
                  "(sudo usermod -a -G %2 %3, then log in again)")
            .arg(failure.device, failure.group, failure.user);
    case PortOpenFailure::InUse:
        return tr("%1 is in use by another program").arg(failure.device);
    case PortOpenFailure::UnsupportedBaudRate:
        return tr("%1 baud is not supported on this system").arg(failure.baudRate);
    case PortOpenFailure::UnsupportedLineSettings:
        return tr("these line settings are not supported by %1").arg(failure.device);
    case PortOpenFailure::SystemError:
        return tr("%1: %2").arg(failure.device, failure.systemMessage);
    }
    return QString();
}

QString LinkTexts::openFailedMessage(const PortOpenFailure &failure)
{
    const QString failed = QCoreApplication::translate("MainWindow", "COM open failed");
    const QString reason = openFailure(failure);
    return reason.isEmpty() ? failed : tr("%1: %2").arg(failed, reason);
}

QString LinkTexts::noAnswer()
{
    return tr("No answer from the tester");
}

QString LinkTexts::state(const LinkReport &report)
{
    const QString since = report.silentSince.toString(QLatin1String(TimeFormat));
    if (report.portClosed)
        return tr("The port failed; no answer since %1. It is reopened every second.").arg(since);
    if (!report.answering)
        return tr("No answer from the tester since %1").arg(since);
    return tr("The tester answers");
}

QString LinkTexts::disconnected()
{
    return tr("Not connected");
}

QString LinkTexts::lastInterruption(const LinkReport &report)
{
    if (report.lastGapMs < 0)
        return tr("none");
    return tr("%1 s").arg(seconds(report.lastGapMs));
}

QString LinkTexts::curveInterrupted(const QString &connectionMessage, qint64 gapMs)
{
    return tr("%1; the curve was interrupted for %2 s").arg(connectionMessage, seconds(gapMs));
}

QString LinkTexts::counters(const LinkCounters &counters)
{
    const QStringList lines = {
        tr("Good answers: %1").arg(counters.answers),
        tr("Rejected answers: %1").arg(counters.rejected),
        tr("Timeouts: %1").arg(counters.timeouts),
        tr("CRC errors: %1").arg(counters.crcErrors),
        tr("Framing errors: %1").arg(counters.framingErrors),
        tr("Port failures: %1").arg(counters.deviceFailures),
        tr("Port reopened: %1").arg(counters.reopens),
    };
    return lines.join(QLatin1Char('\n'));
}

QString LinkTexts::seconds(qint64 ms)
{
    return NumberText::fixed(ms / MsPerSecond, SecondDecimals);
}
