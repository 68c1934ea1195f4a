#pragma once

// Ranges and reversal of the plot's two axes: x is distance in mm, y force
// in N. Handed from the axis dialog to the main window, never stored.
struct AxisSetting
{
    double xMin = 0.0;
    double xMax = 0.0;
    double yMin = 0.0;
    double yMax = 0.0;
    bool xReversed = false;
    bool yReversed = false;
    // "AxisAutoSet": the axes follow the visible curves; the ranges above
    // are then only what the plot showed.
    bool autoFit = false;
};
