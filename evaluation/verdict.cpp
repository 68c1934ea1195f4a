#include "evaluation/verdict.h"

namespace {

const char PassKey[] = "pass";
const char FailKey[] = "fail";
const char NotReachedKey[] = "not reached";

} // namespace

namespace Verdicts {

QString key(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return QLatin1String(PassKey);
    case Verdict::Fail:
        return QLatin1String(FailKey);
    case Verdict::NotReached:
        break;
    }
    return QLatin1String(NotReachedKey);
}

std::optional<Verdict> fromKey(const QString &key)
{
    for (Verdict verdict : {Verdict::Pass, Verdict::Fail, Verdict::NotReached}) {
        if (key == Verdicts::key(verdict))
            return verdict;
    }
    return std::nullopt;
}

} // namespace Verdicts
