#include "records/chartchoice.h"

#include "settings/usersettings.h"

namespace {
const char Group[] = "Spc";
const char RulesKey[] = "rules";           // the numbers switched on: 1, 2, 5
const char SameSideRunKey[] = "sameSideRun";
const char SubgroupKey[] = "subgroupSize";
} // namespace

ChartChoice ChartChoice::stored()
{
    QSettings settings = TorvelinSettings::open();
    settings.beginGroup(QLatin1String(Group));
    ChartChoice choice;
    if (settings.contains(QLatin1String(RulesKey))) {
        // A list as QSettings writes it, or "1,2,5" typed into the file
        // (which it reads as a list, or as one text when quoted); what is
        // no rule's number is passed over.
        const QString numbers = settings.value(QLatin1String(RulesKey)).toStringList().join(QLatin1Char(','));
        choice.rules = Spc::RuleSet::fromNumbers(numbers);
    }
    const int run = settings.value(QLatin1String(SameSideRunKey), choice.rules.sameSideRun).toInt();
    if (run == Spc::RuleSet::NelsonSameSideRun || run == Spc::RuleSet::WesternElectricSameSideRun)
        choice.rules.sameSideRun = run;
    const int size = settings.value(QLatin1String(SubgroupKey), choice.subgroupSize).toInt();
    if (size >= Spc::MinSubgroupSize && size <= Spc::MaxSubgroupSize)
        choice.subgroupSize = size;
    return choice;
}

void ChartChoice::store() const
{
    QStringList on;
    for (int rule = 1; rule <= Spc::RuleCount; ++rule) {
        if (rules.isOn(rule))
            on << QString::number(rule);
    }
    QSettings settings = TorvelinSettings::open();
    settings.beginGroup(QLatin1String(Group));
    settings.setValue(QLatin1String(RulesKey), on);
    settings.setValue(QLatin1String(SameSideRunKey), rules.sameSideRun);
    settings.setValue(QLatin1String(SubgroupKey), subgroupSize);
}
