#include "widgets/verdictstyle.h"

namespace {

const QColor PassColour(0x1b, 0x80, 0x3a);
const QColor FailColour(0xc6, 0x28, 0x28);
const QColor NotReachedColour(0x80, 0x80, 0x80);

} // namespace

QString VerdictStyle::word(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return tr("Pass");
    case Verdict::Fail:
        return tr("Fail");
    case Verdict::NotReached:
        break;
    }
    return tr("Not reached");
}

QString VerdictStyle::headline(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return tr("PASS");
    case Verdict::Fail:
        return tr("FAIL");
    case Verdict::NotReached:
        break;
    }
    return word(verdict);
}

QColor VerdictStyle::colour(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return PassColour;
    case Verdict::Fail:
        return FailColour;
    case Verdict::NotReached:
        break;
    }
    return NotReachedColour;
}
