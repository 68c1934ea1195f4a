#pragma once

#include "simulator/linetiming.h"

#include <QString>

// The fastest the serial line can carry curve points: the worker reads one
// 30-point curve block per transaction, back to back, so the line's time per
// transaction bounds the rate at which points can reach the plot. The line
// timing is the simulator's own, so the limit is the one it paces to.
struct LineLimit : LineTiming
{
    // Slave, function, first register (2), count (2), CRC (2).
    static constexpr int RequestBytes = 8;
    // Slave, function, byte count, 122 registers, CRC (2).
    static constexpr int ReplyBytes = 249;
    static constexpr int PointsPerBlock = 30;

    double blockSeconds() const;
    double pointsPerSecond() const;
    // The framing as it is usually written, such as "115200 8N1".
    QString framing() const;
    // The whole sum, such as "(8 + 249) × 10 / 115200 s + 2 × 1.75 ms =
    // 25.81 ms per 30 points = 1,162 points/s".
    QString arithmetic() const;
};
