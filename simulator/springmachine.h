#pragma once

#include <chrono>
#include <random>
#include <vector>

// Arguments of the start command (code 3) as the controller receives them.
struct StartCommand
{
    int mode = 0;          // 0 PUSH, 1 PULL
    int distanceMode = 0;  // 0 relative, 1 absolute
    int speed = 0;         // mm/min
    float distance = 0.0f; // mm
};

enum class Stroke { None = 0, Forward = 1, Return = 2 };

struct CurvePoint
{
    float force = 0.0f;
    float distance = 0.0f;
};

struct CurveBlock
{
    Stroke stroke = Stroke::None;
    std::vector<CurvePoint> points;
};

struct LiveReading
{
    float force = 0.0f;
    float distance = 0.0f;
};

// The mechanics of the tester: a crosshead that moves a spring in its
// fixture at the commanded speed, a load cell that reads the spring force,
// and the buffer of curve points sampled during a test.
//
// Position is the crosshead travel in mm from the zero point, where the
// spring is unloaded. Both modes travel towards larger positions: a PUSH
// test compresses the spring (positive force), a PULL test extends it in
// the hook fixture (negative force). Time is the real monotonic clock, so a
// test takes distance / speed per stroke.
class SpringMachine
{
public:
    using Clock = std::chrono::steady_clock;

    struct Model
    {
        double springRate = 5.0;      // N/mm
        double hysteresis = 0.02;     // share of the force gained loading, lost unloading
        double pointStep = 1.0 / 32;  // mm of travel between curve points
        double forceNoise = 0.02;     // N; the distance reading gets a tenth of it in mm
        bool numbered = false;        // forces count readings and points instead
    };

    enum class Phase { Idle, Forward, Return };

    struct Status
    {
        Phase phase = Phase::Idle;
        double position = 0.0;
        int produced = 0;   // curve points sampled in the current test so far
        int handedOut = 0;  // of which read by the master
        int total = 0;      // points the whole test will produce
    };

    explicit SpringMachine(const Model &model);

    // Starts a test from the current position; false (nothing changes) when
    // the command is not one the controller can run.
    bool start(const StartCommand &command, Clock::time_point now);
    // Halts the crosshead where it is; points already sampled stay readable.
    void stop(Clock::time_point now);
    // Jogs the crosshead: ends any test and discards its points.
    void setPosition(double position);

    LiveReading live(Clock::time_point now);
    // The oldest points not yet handed out, at most maxPoints, all of one stroke.
    CurveBlock takeBlock(int maxPoints, Clock::time_point now);
    Status status(Clock::time_point now) const;

    Model &model() { return m_model; }

private:
    struct Motion
    {
        double position = 0.0;
        int direction = 0; // +1 towards larger positions, -1 back, 0 at rest
        Phase phase = Phase::Idle;
    };

    struct Run
    {
        Clock::time_point begin;
        double from = 0.0;
        double to = 0.0;
        double length = 0.0;
        int direction = 1;
        double speed = 0.0;         // mm/s
        int steps = 0;              // points per stroke minus one
        double stoppedAfter = -1.0; // seconds after begin; negative while not stopped
        int nextPoint = 0;
    };

    double elapsed(Clock::time_point now) const;
    Motion motionAt(double seconds) const;
    Motion currentMotion(Clock::time_point now) const;
    int totalPoints() const;
    double pointTime(int index) const;
    int producedPoints(double seconds) const;
    CurvePoint point(int index) const;
    double springForce(double position, int direction) const;
    double noise(double amplitude);

    Model m_model;
    double m_restPosition = 0.0;
    double m_forceSign = 1.0; // the fixture of the last test: +1 PUSH, -1 PULL
    bool m_hasRun = false;
    Run m_run;
    unsigned m_liveReadings = 0;
    std::mt19937 m_random{20240601u};
};
