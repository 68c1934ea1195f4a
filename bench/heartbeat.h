#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <vector>

// A 10 ms beat on the GUI thread. Each beat notes how late it came: the
// delay any click or repaint would have suffered at that moment.
class Heartbeat : public QObject
{
    Q_OBJECT

public:
    static constexpr int PeriodMs = 10;

    explicit Heartbeat(QObject *parent = nullptr);

    void start();
    void stop();

    int beats() const { return int(m_latenessNs.size()); }
    // Lateness in ms below which the given share (0 to 1) of the beats came.
    double latenessPercentileMs(double share) const;
    double maxLatenessMs() const;

private slots:
    void beat();

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_dueNs = 0;
    std::vector<qint64> m_latenessNs;
};
