#include "mainwindow/historyactions.h"

#include "history/historymodel.h"
#include "history/historywindow.h"
#include "history/reportheaderdialog.h"
#include "history/reports.h"
#include "records/testloader.h"

#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>

HistoryActions::HistoryActions(QMainWindow *window, QMenu *fileMenu,
                               QAction *beforeAction, QMenu *recordsMenu)
    : QObject(window)
    , m_window(window)
    , m_historyAction(new QAction(tr("History"), window))
    , m_printAction(new QAction(tr("Print"), window))
    , m_loader(new TestLoader(this))
{
    connect(m_loader, &TestLoader::loaded, this, &HistoryActions::printLoaded);
    m_historyAction->setObjectName(QStringLiteral("actionHistory"));
    m_printAction->setObjectName(QStringLiteral("actionPrint"));
    m_printAction->setShortcut(QKeySequence::Print);
    fileMenu->insertAction(beforeAction, m_printAction);
    recordsMenu->addAction(m_historyAction);
    connect(m_historyAction, &QAction::triggered, this, &HistoryActions::openHistory);
    QAction *header = recordsMenu->addAction(tr("Report Header..."));
    header->setObjectName(QStringLiteral("actionReportHeader"));
    connect(header, &QAction::triggered, this, &HistoryActions::editReportHeader);
    connect(m_printAction, &QAction::triggered, this, &HistoryActions::print);
}

void HistoryActions::setRecordedTest(qint64 testId)
{
    forgetShownTest();
    m_shownTest = testId;
    // An open History shows the new test at once, as its first row.
    if (m_history)
        m_history->refresh();
}

void HistoryActions::openHistory()
{
    if (!m_history) {
        m_history = new HistoryWindow(m_window);
        m_history->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_history, &HistoryWindow::sendStoredTest, this, &HistoryActions::sendStoredTest);
    } else {
        m_history->refresh();
    }
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void HistoryActions::editReportHeader()
{
    auto *dialog = new ReportHeaderDialog(LabHeader::stored(), m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &ReportHeaderDialog::sendLabHeader, this,
            [](const LabHeader &header) { header.store(); });
    dialog->exec();
}

void HistoryActions::showStoredTest(const StoredTest &test)
{
    m_shownTest = test.id;
    const QString verdict = test.evaluation.judged ? HistoryModel::verdictText(test.evaluation.verdict)
                                                   : tr("not judged");
    m_window->statusBar()->showMessage(tr("Test No. %1, %2 %3, serial number %4: %5")
                                           .arg(test.id)
                                           .arg(test.header.identity.partNumber,
                                                test.header.identity.batch,
                                                test.header.identity.serialNumber, verdict));
}

void HistoryActions::forgetShownTest()
{
    m_shownTest = 0;
}

void HistoryActions::print()
{
    if (m_shownTest == 0) {
        QMessageBox::information(m_window, tr("Print"),
                                 tr("The plot shows no test on record. Open one from Records → "
                                    "History to print its report."));
        return;
    }
    m_printing = m_loader->load({m_shownTest});
}

void HistoryActions::printLoaded(int request, const QVector<StoredTest> &tests, const QString &error)
{
    if (request != m_printing)
        return;
    if (!error.isEmpty() || tests.size() != 1) {
        QMessageBox::warning(m_window, tr("Print"), error);
        return;
    }
    const StoredTest &test = tests.first();
    QPrinter printer(QPrinter::ScreenResolution);
    QPrintDialog dialog(&printer, m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!Reports::printTest(&printer, test))
        QMessageBox::warning(m_window, tr("Print"), tr("The printer could not be started."));
}

HistoryWindow *HistoryActions::historyWindow() const
{
    return m_history;
}
