#pragma once

#include <QString>

#include <optional>

// The one verdict type: of a test point, of a whole test, from the
// evaluation through the records to the database's columns. A test is
// either passed or failed; only a test point can be not reached.
enum class Verdict { Pass, Fail, NotReached };

namespace Verdicts {

// The verdict's key, as the database, the CSV and torvelin-eval's JSON
// write it: "pass", "fail", "not reached". Never translated.
QString key(Verdict verdict);
// The verdict a key names; none for any other text (NULL, a typo).
std::optional<Verdict> fromKey(const QString &key);

inline Verdict of(bool passed) { return passed ? Verdict::Pass : Verdict::Fail; }

} // namespace Verdicts
