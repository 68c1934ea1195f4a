#include "bench/benchapplication.h"

#include <qcustomplot.h>

BenchApplication::BenchApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

void BenchApplication::replotAfterEachQueuedCall(QObject *receiver, QCustomPlot *plot, qint64 budgetMs)
{
    m_receiver = receiver;
    m_plot = plot;
    m_budgetMs = budgetMs;
    m_sinceFirstReplot.invalidate();
}

bool BenchApplication::notify(QObject *receiver, QEvent *event)
{
    if (!m_plot || !m_receiver || event->type() != QEvent::MetaCall)
        return QApplication::notify(receiver, event);
    if (receiver == m_plot)
        return true;
    const bool handled = QApplication::notify(receiver, event);
    if (receiver == m_receiver) {
        if (!m_sinceFirstReplot.isValid())
            m_sinceFirstReplot.start();
        if (m_budgetMs <= 0 || m_sinceFirstReplot.elapsed() <= m_budgetMs)
            m_plot->replot(QCustomPlot::rpRefreshHint);
    }
    return handled;
}
