#include "session/testrun.h"

namespace {
constexpr int ReturnStroke = 1;
}

TestRun::TestRun(QObject *parent)
    : QObject(parent)
{
    silence.setSingleShot(true);
    silence.setInterval(EndSilenceMs);
    connect(&silence, &QTimer::timeout, this, &TestRun::ended);
}

void TestRun::start()
{
    running = true;
    silence.stop();
}

void TestRun::stop()
{
    running = false;
    silence.stop();
}

bool TestRun::pointArrived(int stroke)
{
    if (!running)
        return false;
    // Forward points never end a test: the machine may pause before it
    // turns. Only the return stroke, once begun, is watched for silence.
    if (stroke == ReturnStroke || silence.isActive())
        silence.start();
    return true;
}
