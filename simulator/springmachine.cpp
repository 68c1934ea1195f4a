#include "springmachine.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double secondsPerMinute = 60.0;
// Keeps a length that is a whole number of steps from gaining an extra point
// through rounding.
constexpr double stepRounding = 1e-9;
} // namespace

SpringMachine::SpringMachine(const Model &model) : m_model(model) {}

bool SpringMachine::start(const StartCommand &command, Clock::time_point now)
{
    const bool validMode = command.mode == 0 || command.mode == 1;
    const bool validDistanceMode = command.distanceMode == 0 || command.distanceMode == 1;
    if (!validMode || !validDistanceMode || command.speed <= 0 || !std::isfinite(command.distance))
        return false;

    const double from = currentMotion(now).position;
    const double to = command.distanceMode == 0 ? from + command.distance : double(command.distance);

    m_run = Run();
    m_run.begin = now;
    m_run.from = from;
    m_run.to = to;
    m_run.length = std::fabs(to - from);
    m_run.direction = to < from ? -1 : 1;
    m_run.speed = command.speed / secondsPerMinute;
    m_run.steps = int(std::ceil(m_run.length / m_model.pointStep - stepRounding));
    m_run.steps = std::max(m_run.steps, 0);
    m_hasRun = true;
    m_restPosition = from;
    m_forceSign = command.mode == 0 ? 1.0 : -1.0;
    return true;
}

void SpringMachine::stop(Clock::time_point now)
{
    if (!m_hasRun || m_run.stoppedAfter >= 0.0)
        return;
    m_run.stoppedAfter = elapsed(now);
    m_restPosition = motionAt(m_run.stoppedAfter).position;
}

void SpringMachine::setPosition(double position)
{
    m_hasRun = false;
    m_restPosition = position;
}

LiveReading SpringMachine::live(Clock::time_point now)
{
    const Motion motion = currentMotion(now);
    LiveReading reading;
    if (m_model.numbered) {
        reading.force = float(++m_liveReadings);
        reading.distance = float(motion.position);
        return reading;
    }
    reading.force = float(springForce(motion.position, motion.direction) + noise(m_model.forceNoise));
    reading.distance = float(motion.position + noise(m_model.forceNoise / 10.0));
    return reading;
}

CurveBlock SpringMachine::takeBlock(int maxPoints, Clock::time_point now)
{
    CurveBlock block;
    if (!m_hasRun)
        return block;
    const int available = producedPoints(elapsed(now));
    const int strokeEnd = m_run.nextPoint <= m_run.steps ? m_run.steps + 1 : totalPoints();
    const int end = std::min({available, strokeEnd, m_run.nextPoint + maxPoints});
    if (end <= m_run.nextPoint)
        return block;
    block.stroke = m_run.nextPoint <= m_run.steps ? Stroke::Forward : Stroke::Return;
    for (int index = m_run.nextPoint; index < end; ++index)
        block.points.push_back(point(index));
    m_run.nextPoint = end;
    return block;
}

SpringMachine::Status SpringMachine::status(Clock::time_point now) const
{
    Status status;
    const Motion motion = currentMotion(now);
    status.phase = motion.phase;
    status.position = motion.position;
    if (m_hasRun) {
        status.produced = producedPoints(elapsed(now));
        status.handedOut = m_run.nextPoint;
        status.total = totalPoints();
    }
    return status;
}

double SpringMachine::elapsed(Clock::time_point now) const
{
    const double seconds = std::chrono::duration<double>(now - m_run.begin).count();
    return m_run.stoppedAfter >= 0.0 ? std::min(seconds, m_run.stoppedAfter) : seconds;
}

SpringMachine::Motion SpringMachine::motionAt(double seconds) const
{
    Motion motion;
    const double travel = seconds * m_run.speed;
    if (travel < m_run.length) {
        motion.position = m_run.from + m_run.direction * travel;
        motion.direction = m_run.direction;
        motion.phase = Phase::Forward;
    } else if (travel < 2.0 * m_run.length) {
        motion.position = m_run.to - m_run.direction * (travel - m_run.length);
        motion.direction = -m_run.direction;
        motion.phase = Phase::Return;
    } else {
        motion.position = m_run.from;
    }
    return motion;
}

SpringMachine::Motion SpringMachine::currentMotion(Clock::time_point now) const
{
    if (!m_hasRun || m_run.stoppedAfter >= 0.0) {
        Motion resting;
        resting.position = m_restPosition;
        return resting;
    }
    return motionAt(elapsed(now));
}

int SpringMachine::totalPoints() const
{
    return 2 * (m_run.steps + 1);
}

double SpringMachine::pointTime(int index) const
{
    const bool forward = index <= m_run.steps;
    const int step = forward ? index : index - (m_run.steps + 1);
    const double travel = std::min(step * m_model.pointStep, m_run.length);
    return (forward ? travel : m_run.length + travel) / m_run.speed;
}

int SpringMachine::producedPoints(double seconds) const
{
    // Sample times ascend, so the produced points form a prefix.
    int low = 0;
    int high = totalPoints();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (pointTime(middle) <= seconds)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

CurvePoint SpringMachine::point(int index) const
{
    const bool forward = index <= m_run.steps;
    const int step = forward ? index : index - (m_run.steps + 1);
    const double travel = std::min(step * m_model.pointStep, m_run.length);
    const double position = forward ? m_run.from + m_run.direction * travel
                                    : m_run.to - m_run.direction * travel;
    const int direction = forward ? m_run.direction : -m_run.direction;

    CurvePoint curvePoint;
    curvePoint.distance = float(position);
    curvePoint.force = m_model.numbered ? float(index + 1) : float(springForce(position, direction));
    return curvePoint;
}

double SpringMachine::springForce(double position, int direction) const
{
    const double deflection = std::max(position, 0.0);
    return m_forceSign * m_model.springRate * deflection * (1.0 + m_model.hysteresis * direction);
}

double SpringMachine::noise(double amplitude)
{
    if (amplitude <= 0.0)
        return 0.0;
    std::uniform_real_distribution<double> distribution(-amplitude, amplitude);
    return distribution(m_random);
}
