#include "linkstatus/linkmonitor.h"

#include "linkstatus/linkindicator.h"
#include "linkstatus/linkstatisticsdialog.h"
#include "linkstatus/linktexts.h"

#include <QAction>
#include <QMenu>
#include <QStatusBar>

LinkMonitor::LinkMonitor(QStatusBar *statusBar, QMenu *deviceMenu, QWidget *window)
    : QObject(window)
    , m_window(window)
    , m_indicator(new LinkIndicator(statusBar))
{
    statusBar->addPermanentWidget(m_indicator);
    QAction *statistics = deviceMenu->addAction(tr("Link statistics"));
    statistics->setObjectName(QStringLiteral("actionLinkStatistics"));
    connect(statistics, &QAction::triggered, this, &LinkMonitor::showStatistics);
}

void LinkMonitor::connected()
{
    m_connected = true;
    m_report = LinkReport();
    m_indicator->showReport(m_report);
    if (m_dialog)
        m_dialog->receiveLinkReport(m_report);
}

void LinkMonitor::openFailed(const PortOpenFailure &failure)
{
    m_connected = false;
    m_indicator->showOpenFailed(LinkTexts::openFailedMessage(failure));
}

void LinkMonitor::disconnected()
{
    m_connected = false;
    m_indicator->showDisconnected();
    if (m_dialog)
        m_dialog->showDisconnected();
}

void LinkMonitor::receiveLinkReport(LinkReport report)
{
    // A report still queued when Disconnect stopped the loop is history.
    if (!m_connected)
        return;
    m_report = report;
    m_indicator->showReport(report);
    if (m_dialog)
        m_dialog->receiveLinkReport(report);
}

// Not modal: the counters keep moving while the operator works on.
void LinkMonitor::showStatistics()
{
    if (!m_dialog) {
        m_dialog = new LinkStatisticsDialog(m_window);
        m_dialog->setAttribute(Qt::WA_DeleteOnClose);
        m_dialog->receiveLinkReport(m_report);
        if (!m_connected)
            m_dialog->showDisconnected();
        if (!m_recordsLink.isEmpty())
            m_dialog->showRecordsLink(m_recordsLink);
    }
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
    emit statisticsShown();
}

void LinkMonitor::showRecordsLink(const QString &text)
{
    m_recordsLink = text;
    if (m_dialog)
        m_dialog->showRecordsLink(text);
}
