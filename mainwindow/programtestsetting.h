#pragma once

#include "device/settings.h"
#include "evaluation/testprogram.h"

#include <QtGlobal>

#include <optional>
#include <utility>

// What Start sends while a test program is chosen: the program's speed
// (when it names one) and a distance just beyond its farthest test point,
// or the distance the program names itself. The direction and distance
// mode stay the operator's. Test settings accepted in the Chart dialog
// after the program was chosen win until another program (or none) is
// chosen. Plain values, no widgets.
class ProgramTestSetting
{
public:
    // Room beyond the farthest point, so that the stroke measures there.
    static constexpr double BeyondLastPointMm = 1.0;
    // The longest travel the test start dialog allows.
    static constexpr double MaxDistanceMm = 200.0;

    // The distance the program names (its file's top-level "distance"),
    // or just beyond its farthest used point; none without either.
    static std::optional<double> distanceOf(const TestProgram &program);
    static Curve_Setting applied(Curve_Setting setting, const TestProgram &program);
    // The forces the program's limits span, and 0 N (where every curve
    // starts): lowest first.
    static std::pair<double, double> forceSpan(const TestProgram &program);

    void chooseProgram(const TestProgram &program);
    void chooseNoProgram();
    // Chart accepted these settings.
    void accept(const Curve_Setting &setting);

    // What the next Start sends.
    Curve_Setting current() const;
    bool hasProgram() const { return m_program.has_value(); }

private:
    Curve_Setting m_accepted;
    std::optional<TestProgram> m_program;
    bool m_acceptedSinceProgram = false;
};
