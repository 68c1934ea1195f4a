#pragma once

#include "spc/controlconstants.h"
#include "spc/nelsonrules.h"

// What this station judges its control charts by: the rules switched on
// and the subgroup size last chosen in the statistics window. The station's
// alarm after each test uses the same, so that the operator is warned of
// what the quality engineer looks at. Kept in the settings store (group
// `Spc`); Nelson's eight and subgroups of five until chosen.
struct ChartChoice
{
    Spc::RuleSet rules = Spc::RuleSet::nelson();
    int subgroupSize = Spc::DefaultSubgroupSize;

    static ChartChoice stored();
    void store() const;
};
