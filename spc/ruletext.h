#pragma once

#include "spc/nelsonrules.h"

#include <QCoreApplication>
#include <QString>

// A rule by its number and what it looks for, in the operator's language:
// one wording for the statistics window, the batch report and the
// station's alarm.
class RuleText
{
    Q_DECLARE_TR_FUNCTIONS(RuleText)

public:
    // "2 nine in a row on one side"; rule 2's run is the rule set's.
    static QString name(int rule, const Spc::RuleSet &rules);
};
