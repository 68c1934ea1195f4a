#pragma once

// A live reading cut (not rounded) to the given number of decimals, as the
// tester's own display shows it: 12.34567 with 3 decimals reads 12.345.
// Values that are not finite, or too large to cut through a 32-bit integer
// (a corrupt float from the line), come back unchanged.
float truncateReading(float value, int decimals);

// The distance readout: cut to the force decimals, then shown with 2
// decimals without rounding up again (5.6789 with 3 decimals reads 5.67).
float truncateDistanceReading(float value, int forceDecimals);
