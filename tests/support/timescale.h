#pragma once

// Wall-clock limits of the tests that run against the real clock. A build
// under the sanitizers runs everything (the simulator too) several times
// slower, so a limit on how late something may come is stretched there; a
// limit on how early it may come never is.
namespace TimeScale {

#ifdef TORVELIN_SANITIZED
constexpr int Factor = 5;
#else
constexpr int Factor = 1;
#endif

constexpr int lateBoundMs(int ms)
{
    return ms * Factor;
}

} // namespace TimeScale
