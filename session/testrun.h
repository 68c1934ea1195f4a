#pragma once

#include <QObject>
#include <QTimer>

// Whether a test runs, from Start until it ends, and when the machine has
// finished it: once the return stroke has begun, a line that goes on
// answering without a new point for a while means the machine is back. A
// spell in which the tester does not answer is no end: the points after it
// still belong to the test.
class TestRun : public QObject
{
    Q_OBJECT

public:
    // How long the return stroke may stay without points, while the tester
    // answers, before the test counts as ended; the worker reads a block
    // every few tens of milliseconds.
    static constexpr int EndSilenceMs = 2000;
    // The return stroke counts as back where the forward stroke began within
    // this share of the travel, and never closer than BackWithinMm (a point
    // step or two of a real machine).
    static constexpr double BackWithinShare = 0.02;
    static constexpr double BackWithinMm = 0.05;

    explicit TestRun(QObject *parent = nullptr);

    bool isRunning() const { return running; }
    void start();
    void stop();
    // A curve point of the given stroke (0 forward, 1 return) has arrived.
    // Returns whether it belongs to a running test.
    bool pointArrived(int stroke, double distance);
    // The tester stopped or started answering.
    void linkAnswering(bool answering);
    // Whether the machine has come back: the end was seen, or the return
    // stroke is back where the forward stroke began. A test stopped before
    // that is aborted, not a judged spring.
    bool hasReturned() const;

    // The rule behind hasReturned, for the points seen so far.
    static bool isBack(double forwardStart, double farthest, double returnLatest);

signals:
    // The return stroke has been quiet for EndSilenceMs while the tester
    // answered: the machine is back and the test is over.
    void ended();

private:
    void watchSilence();

    QTimer silence;
    bool running = false;
    bool answering = true;
    bool returnBegun = false;
    bool endSeen = false;
    bool anyForward = false;
    double forwardStart = 0;
    double farthest = 0;
    double returnLatest = 0;
};
