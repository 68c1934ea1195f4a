#pragma once

#include <QObject>
#include <QTimer>

// Whether a test runs, from Start until Stop or Disconnect, and when the
// machine has finished it: once the return stroke has begun, a quiet line
// for a while means the machine is back and waits for Stop.
class TestRun : public QObject
{
    Q_OBJECT

public:
    // How long the return stroke may stay silent before the test counts as
    // ended; the worker reads a block every few tens of milliseconds.
    static constexpr int EndSilenceMs = 2000;

    explicit TestRun(QObject *parent = nullptr);

    bool isRunning() const { return running; }
    void start();
    void stop();
    // A curve point of the given stroke (0 forward, 1 return) has arrived.
    // Returns whether it belongs to a running test.
    bool pointArrived(int stroke);

signals:
    // The return stroke has been silent for EndSilenceMs: the machine is
    // back and only Stop brings the live values again.
    void ended();

private:
    QTimer silence;
    bool running = false;
};
