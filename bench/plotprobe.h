#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <vector>

class QCustomPlot;

// Notes, each time the plot has been drawn, how many points its graphs hold:
// what the operator can see, and when.
class PlotProbe : public QObject
{
    Q_OBJECT

public:
    struct Sample
    {
        qint64 ns;  // since start()
        int points; // in all graphs
    };

    struct Throughput
    {
        int points = 0;       // drawn between the first drawing with points and the last one counted
        double seconds = 0.0; // between those two drawings
        bool reached = false; // whether a drawing held the target
        double perSecond() const { return seconds > 0.0 ? points / seconds : 0.0; }
    };

    explicit PlotProbe(QCustomPlot *plot, QObject *parent = nullptr);

    static int pointCount(const QCustomPlot *plot);

    void start();
    const std::vector<Sample> &samples() const { return m_samples; }
    qint64 elapsedNs() const { return m_clock.nsecsElapsed(); }
    // Nanoseconds since start() of the first drawing with points; -1 before.
    qint64 firstPointsNs() const;

    // From the first drawing that showed points up to the first drawing
    // that held at least `target` points, or the last drawing when none did.
    // The points of the first drawing are not counted: they arrived before
    // the clock could see them.
    Throughput throughput(int target) const { return throughputOf(m_samples, target); }
    static Throughput throughputOf(const std::vector<Sample> &samples, int target);

private slots:
    void drawn();

private:
    QCustomPlot *m_plot;
    QElapsedTimer m_clock;
    std::vector<Sample> m_samples;
};
