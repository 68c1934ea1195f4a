#pragma once

#include "evaluation/testprogram.h"

#include <QVector>

// The test program the tester stores, read from its setting reply: where
// each figure sits in pointSet (25 reals) and systemSet (9 integers), the
// positions the machine parameter Setting page shows. The evaluation gets a
// plain TestProgram and never sees the wire.
namespace MachineProgram {

// False, and *program untouched, when either vector is too short.
bool fromSetting(const QVector<float> &pointSet, const QVector<int> &systemSet,
                 TestProgram *program);

} // namespace MachineProgram
