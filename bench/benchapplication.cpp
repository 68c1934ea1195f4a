#include "bench/benchapplication.h"

#include <qcustomplot.h>

BenchApplication::BenchApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

void BenchApplication::replotAfterEachQueuedCall(QObject *receiver, QCustomPlot *plot)
{
    m_receiver = receiver;
    m_plot = plot;
    m_forcedReplots = 0;
}

bool BenchApplication::notify(QObject *receiver, QEvent *event)
{
    const bool queuedCall = event->type() == QEvent::MetaCall;
    const bool handled = QApplication::notify(receiver, event);
    if (queuedCall && m_plot && receiver == m_receiver) {
        m_plot->replot(QCustomPlot::rpRefreshHint);
        ++m_forcedReplots;
    }
    return handled;
}
