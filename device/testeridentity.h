#pragma once

#include <QMetaType>

// What a tester says it is: its machine type (its force range in N, input
// register 4) and its force decimals (register 5). A port reopened under a
// running test must answer as the tester that was connected: an adapter
// plugged into another machine meanwhile is no continuation of the test.
struct TesterIdentity
{
    static constexpr int Unknown = -1;
    int machineType = Unknown;
    int forceDecimals = Unknown;

    bool isKnown() const { return machineType != Unknown || forceDecimals != Unknown; }
    // Whether `found` may be this tester: every figure known here is the same there.
    bool admits(const TesterIdentity &found) const
    {
        return (machineType == Unknown || machineType == found.machineType)
               && (forceDecimals == Unknown || forceDecimals == found.forceDecimals);
    }
};
Q_DECLARE_METATYPE(TesterIdentity)
