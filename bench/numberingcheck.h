#pragma once

class QCustomPlot;

// Checks the curves of a test run against a simulated tester that numbers
// its points (torvelin-sim --numbered): the force of the k-th point the
// tester samples is k, counting from 1 over both strokes.
struct NumberingCheck
{
    int lost = 0;       // numbers the tester handed out that no graph holds
    int duplicated = 0; // points beyond the first with the same number
    int misplaced = 0;  // numbers that are not the tester's, or out of order on their stroke

    bool clean() const { return lost == 0 && duplicated == 0 && misplaced == 0; }

    // Graph 0 holds the forward stroke, whose numbers rise with the distance;
    // graph 1 the return stroke, whose numbers fall with it.
    static NumberingCheck of(const QCustomPlot *plot, int handedOut);
};
