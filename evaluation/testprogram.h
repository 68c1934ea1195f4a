#pragma once

#include <QJsonObject>
#include <QVector>

// A test program: what a spring must do to pass. The tester stores up to
// five of these points per program; operators also write their own (see
// programfile.h). Plain values, no I/O.

struct ForceLimits
{
    double lower = 0; // N
    double upper = 0; // N

    bool contains(double force) const { return lower <= force && force <= upper; }
};

struct TestPoint
{
    double distance = 0;         // mm
    double force = 0;            // nominal force, N
    double lower = 0;            // lower force limit, N
    double upper = 0;            // upper force limit, N
    double tolerancePercent = 0; // of the nominal force
    QJsonObject otherKeys;       // keys of a program file this program does not know

    // A point at distance 0 with force 0 is an empty slot of the program.
    bool isUsed() const { return !(distance == 0 && force == 0); }

    // The point's own limits when upper > lower; otherwise the nominal force
    // ∓ the tolerance, ordered so that a negative (PULL) force works too.
    ForceLimits limits() const;
};

struct SpringData
{
    double freeLength = 0;     // mm
    double meanDiameter = 0;   // mm
    double wireDiameter = 0;   // mm
    double effectiveCoils = 0;
    double rate = 0;           // N/mm
    QJsonObject otherKeys;
};

struct TestProgram
{
    static constexpr int MaxPoints = 5;

    int number = 0;
    int speed = 0;             // mm/min
    QVector<TestPoint> points; // at most MaxPoints, in the program's order
    SpringData spring;
    QJsonObject otherKeys;

    int usedPointCount() const;

    bool operator==(const TestProgram &other) const;
    bool operator!=(const TestProgram &other) const { return !(*this == other); }
};

bool operator==(const TestPoint &a, const TestPoint &b);
bool operator==(const SpringData &a, const SpringData &b);
