#pragma once

#include "device/linkhealth.h"
#include "device/portguard.h"

#include <QCoreApplication>
#include <QString>

// The words the operator reads about the link: why Connect failed, whether
// the tester answers, the counters, how long a curve was interrupted. Pure
// text from values, translated in the context "LinkTexts".
class LinkTexts
{
    Q_DECLARE_TR_FUNCTIONS(LinkTexts)

public:
    static QString openFailure(const PortOpenFailure &failure);
    // "COM open failed" with the reason after it, for the status bar.
    static QString openFailedMessage(const PortOpenFailure &failure);
    static QString noAnswer();
    static QString state(const LinkReport &report);
    static QString disconnected();
    static QString lastInterruption(const LinkReport &report);
    static QString curveInterrupted(const QString &connectionMessage, qint64 gapMs);
    // One line per counter, as the tooltip shows them.
    static QString counters(const LinkCounters &counters);
    static QString seconds(qint64 ms);
};
