#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>

class QCustomPlot;

// The benchmark's application object. On request it redraws a plot at once
// after every queued call delivered to one receiver: with the main window as
// the receiver during a test, that is one full replot per received curve
// point, the policy the window's coalesced replot replaced.
class BenchApplication : public QApplication
{
    Q_OBJECT

public:
    BenchApplication(int &argc, char **argv);

    // Null receiver or plot switches it off. While it is on, the plot's own
    // queued replots are dropped: after a replot per point they would only
    // draw the same picture again. `budgetMs` after its first replot it stops
    // replotting (with a backlog of queued points the event loop runs no timer
    // until the backlog is gone); the plot is then not drawn until it is
    // switched off and replotted.
    void replotAfterEachQueuedCall(QObject *receiver, QCustomPlot *plot, qint64 budgetMs = 0);

    bool notify(QObject *receiver, QEvent *event) override;

private:
    QPointer<QObject> m_receiver;
    QPointer<QCustomPlot> m_plot;
    qint64 m_budgetMs = 0;
    QElapsedTimer m_sinceFirstReplot;
};
