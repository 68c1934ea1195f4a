#include "session/testrun.h"

#include <QtGlobal>

#include <cmath>

namespace {
constexpr int ForwardStroke = 0;
constexpr int ReturnStroke = 1;
}

TestRun::TestRun(QObject *parent)
    : QObject(parent)
{
    silence.setSingleShot(true);
    silence.setInterval(EndSilenceMs);
    connect(&silence, &QTimer::timeout, this, [this] {
        endSeen = true;
        emit ended();
    });
}

void TestRun::start()
{
    running = true;
    returnBegun = false;
    endSeen = false;
    anyForward = false;
    silence.stop();
}

void TestRun::stop()
{
    running = false;
    silence.stop();
}

bool TestRun::pointArrived(int stroke, double distance)
{
    if (!running)
        return false;
    if (stroke == ForwardStroke) {
        if (!anyForward)
            forwardStart = farthest = distance;
        anyForward = true;
        if (std::abs(distance - forwardStart) > std::abs(farthest - forwardStart))
            farthest = distance;
    } else if (stroke == ReturnStroke) {
        returnBegun = true;
        returnLatest = distance;
    }
    // Forward points never end a test: the machine may pause before it
    // turns. Only the return stroke, once begun, is watched for silence.
    watchSilence();
    return true;
}

void TestRun::linkAnswering(bool nowAnswering)
{
    // The link reports come every second while the line is busy: only a
    // change says anything.
    if (answering == nowAnswering)
        return;
    answering = nowAnswering;
    // Time without answers is no evidence that the machine is back: the
    // watch starts over once the tester answers again.
    if (answering)
        watchSilence();
    else
        silence.stop();
}

void TestRun::watchSilence()
{
    if (running && returnBegun && answering && !endSeen)
        silence.start();
}

bool TestRun::hasReturned() const
{
    return endSeen || (returnBegun && anyForward && isBack(forwardStart, farthest, returnLatest));
}

bool TestRun::isBack(double start, double far, double latest)
{
    const double travel = std::abs(far - start);
    const double within = qMax(BackWithinMm, travel * BackWithinShare);
    return std::abs(latest - start) <= within;
}
