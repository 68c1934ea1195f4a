#include "history/statisticstext.h"

#include "numbers/numbertext.h"

namespace {
constexpr int CapabilityDecimals = 2;
// Where row() puts the capabilities.
constexpr int PpColumn = 9;
constexpr int PpkColumn = 10;
constexpr int CpColumn = 12;
constexpr int CpkColumn = 13;
} // namespace

QStringList StatisticsText::headers()
{
    return {tr("Point"),          tr("n"),          tr("Not reached"),       tr("Mean (N)"),
            tr("Overall s (N)"),  tr("Min (N)"),    tr("Max (N)"),           tr("Lower (N)"),
            tr("Upper (N)"),      tr("Pp"),         tr("Ppk"),               tr("Within σ̂ (N)"),
            tr("Cp"),             tr("Cpk")};
}

QStringList StatisticsText::row(const BatchStatistics::PointSummary &point)
{
    auto force = [](const std::optional<double> &value) {
        return value ? NumberText::force(*value) : tr("none");
    };
    auto capability = [](const std::optional<double> &value) {
        return value ? NumberText::fixed(*value, CapabilityDecimals) : tr("none");
    };
    const QString mixed = tr("differ");
    const Spc::Capability &c = point.capability;
    return {QString::number(point.pointNo),
            QString::number(point.n),
            QString::number(point.notReached),
            force(point.mean),
            force(point.standardDeviation),
            force(point.minimum),
            force(point.maximum),
            point.limitsDiffer ? mixed : force(point.lower),
            point.limitsDiffer ? mixed : force(point.upper),
            capability(c.pp),
            capability(c.ppk),
            force(c.sigmaWithin),
            capability(c.cp),
            capability(c.cpk)};
}

QString StatisticsText::filterDescription(const HistoryFilter &filter, const QDateTime &firstStarted,
                                          const QDateTime &lastStarted)
{
    const QString any = tr("any");
    const QString part = filter.partNumber.trimmed().isEmpty() ? any : filter.partNumber.trimmed();
    const QString batch = filter.batch.trimmed().isEmpty() ? any : filter.batch.trimmed();
    auto day = [](const QDateTime &time) {
        return time.isValid() ? time.toLocalTime().date().toString(QStringLiteral("yyyy-MM-dd"))
                              : QString();
    };
    // The bound is the start of the day after the last one chosen.
    const QString from = filter.startedFrom.isValid() ? day(filter.startedFrom) : day(firstStarted);
    const QString to = filter.startedBefore.isValid() ? day(filter.startedBefore.addMSecs(-1))
                                                      : day(lastStarted);
    const QString days = !from.isEmpty() && !to.isEmpty() ? tr("%1 – %2").arg(from, to)
                         : !from.isEmpty()                ? tr("from %1").arg(from)
                         : !to.isEmpty()                  ? tr("until %1").arg(to)
                                                          : tr("no tests");
    QString verdict;
    switch (filter.verdict) {
    case HistoryFilter::Verdict::Any: verdict = any; break;
    case HistoryFilter::Verdict::Pass: verdict = tr("pass"); break;
    case HistoryFilter::Verdict::Fail: verdict = tr("fail"); break;
    case HistoryFilter::Verdict::NotJudged: verdict = tr("not judged"); break;
    }
    return tr("Part number: %1 · Batch: %2 · Days: %3 · Verdict: %4")
        .arg(part, batch, days, verdict);
}

QVector<int> StatisticsText::lowCapabilityColumns(const BatchStatistics::PointSummary &point)
{
    const Spc::Capability &c = point.capability;
    QVector<int> columns;
    const std::pair<const std::optional<double> &, int> indices[] = {
        {c.pp, PpColumn}, {c.ppk, PpkColumn}, {c.cp, CpColumn}, {c.cpk, CpkColumn}};
    for (const auto &[index, column] : indices) {
        if (Spc::belowGoal(index))
            columns << column;
    }
    return columns;
}

QString StatisticsText::subgroupSize(int size)
{
    return size == 1 ? tr("1 (moving range)") : QString::number(size);
}

QString StatisticsText::formulas(int subgroupSize)
{
    const QString within = subgroupSize == 1
                               ? tr("σ̂ = MR̄ / d2 with d2 = %1, MR̄ the mean moving range of "
                                    "consecutive tests")
                                     .arg(Spc::MovingRange::d2)
                               : tr("σ̂ = s̄ / c4 with c4 = %1, s̄ the mean standard deviation of "
                                    "subgroups of %2 consecutive tests (an incomplete last "
                                    "subgroup left out)")
                                     .arg(Spc::subgroupConstants(subgroupSize)->c4)
                                     .arg(subgroupSize);
    return tr("Overall s: the sample standard deviation of every test (n − 1). "
              "Pp = (USL − LSL) / 6s, Ppk = min(USL − mean, mean − LSL) / 3s. "
              "Within-subgroup %1; Cp = (USL − LSL) / 6σ̂, Cpk = min(USL − mean, mean − LSL) / 3σ̂. "
              "None without both limits or without spread. Figures below %2 are marked red.")
        .arg(within)
        .arg(Spc::CapabilityGoal);
}

QString StatisticsText::ruleName(int rule, const Spc::RuleSet &rules)
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

QString StatisticsText::ruleNumbers(const Spc::RuleSet &rules)
{
    QStringList on;
    for (int rule = 1; rule <= Spc::RuleCount; ++rule) {
        if (rules.isOn(rule))
            on << ruleName(rule, rules);
    }
    return on.isEmpty() ? tr("none") : on.join(QStringLiteral("; "));
}

QString StatisticsText::violation(const Spc::Violation &violation, const Spc::RuleSet &rules)
{
    return tr("Subgroup %1: rule %2").arg(violation.point + 1).arg(ruleName(violation.rule, rules));
}

QString StatisticsText::limitsSource(const Spc::ControlChart &chart, const Spc::FrozenLimits *frozen)
{
    auto day = [](const QDateTime &time) {
        return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd")) : tr("?");
    };
    if (chart.frozen && frozen) {
        return tr("Limits frozen by %1 on %2 from %3 tests (%4 – %5).")
            .arg(frozen->frozenBy, day(frozen->frozenAt))
            .arg(frozen->baseTests)
            .arg(day(frozen->baseFrom), day(frozen->baseTo));
    }
    if (frozen) {
        return tr("Limits from the data shown: the frozen limits are for subgroups of %1.")
            .arg(subgroupSize(frozen->subgroupSize));
    }
    return tr("Limits from the data shown.");
}

QString StatisticsText::counts(int count, int passed, int failed)
{
    return tr("%1 tests · %2 pass · %3 fail").arg(count).arg(passed).arg(failed);
}

QString StatisticsText::pointTitle(int pointNo)
{
    return tr("Force at test point %1 (N)").arg(pointNo);
}
