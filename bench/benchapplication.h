#pragma once

#include <QApplication>
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

    // Null receiver or plot switches it off.
    void replotAfterEachQueuedCall(QObject *receiver, QCustomPlot *plot);
    // Replots made so far by the switch.
    int forcedReplots() const { return m_forcedReplots; }

    bool notify(QObject *receiver, QEvent *event) override;

private:
    QPointer<QObject> m_receiver;
    QPointer<QCustomPlot> m_plot;
    int m_forcedReplots = 0;
};
