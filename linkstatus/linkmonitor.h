#pragma once

#include "device/linkhealth.h"
#include "device/portguard.h"

#include <QObject>
#include <QPointer>

class LinkIndicator;
class LinkStatisticsDialog;
class QMenu;
class QStatusBar;
class QWidget;

// The window's view of the link: the indicator in the status bar, the
// Device > Link statistics command and its dialog, fed by the worker's link
// reports and by the window's Connect and Disconnect.
class LinkMonitor : public QObject
{
    Q_OBJECT

public:
    LinkMonitor(QStatusBar *statusBar, QMenu *deviceMenu, QWidget *window);

    LinkIndicator *indicator() const { return m_indicator; }
    bool answering() const { return m_connected && m_report.answering; }

    void connected();
    void openFailed(const PortOpenFailure &failure);
    void disconnected();

    // The records database's link, for the statistics dialog: the window
    // answers statisticsShown with it (opening a server connection is not
    // this class's business).
    void showRecordsLink(const QString &text);

public slots:
    void receiveLinkReport(LinkReport report);

signals:
    void statisticsShown();

private slots:
    void showStatistics();

private:
    QWidget *m_window;
    LinkIndicator *m_indicator;
    QPointer<LinkStatisticsDialog> m_dialog;
    LinkReport m_report;
    QString m_recordsLink;
    bool m_connected = false;
};
