#pragma once

#include "device/linkhealth.h"

#include <QLabel>

// The permanent sign of the link in the status bar: a green dot while the
// tester answers, red while it does not or the port failed to open, grey
// while disconnected. Its tooltip says why and shows the counters.
class LinkIndicator : public QLabel
{
    Q_OBJECT

public:
    enum State { Disconnected, Answering, NotAnswering };

    explicit LinkIndicator(QWidget *parent = nullptr);

    State state() const { return m_state; }
    void showDisconnected();
    void showOpenFailed(const QString &reason);
    void showReport(const LinkReport &report);

private:
    void setState(State state, const QString &toolTip);

    State m_state = Disconnected;
    bool m_drawn = false;
};
