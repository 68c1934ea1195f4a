#include "spc/ruletext.h"

QString RuleText::name(int rule, const Spc::RuleSet &rules)
{
    switch (rule) {
    case 1: return tr("1 one point beyond 3σ");
    case 2: return tr("2 %1 in a row on one side").arg(rules.sameSideRun);
    case 3: return tr("3 six rising or falling");
    case 4: return tr("4 fourteen alternating up and down");
    case 5: return tr("5 two of three beyond 2σ on one side");
    case 6: return tr("6 four of five beyond 1σ on one side");
    case 7: return tr("7 fifteen within 1σ");
    case 8: return tr("8 eight beyond 1σ on either side");
    }
    return QString::number(rule);
}
