#pragma once

#include "spc/controlchart.h"

#include <QSqlDatabase>
#include <QString>

#include <optional>

// Control limits frozen from a base period, per part number and test point:
// later tests are judged against the process as it was approved. Freezing
// and withdrawing add a row each, so the database keeps every decision; on a
// lab's server only a reviewer or an engineer may, and the server stamps who
// and when. Failures report false and *error (the database's words).
namespace ControlLimitsStore {

bool freeze(const QSqlDatabase &db, const QString &partNumber, int pointNo,
            const Spc::FrozenLimits &limits, QString *error);
// The part's point is judged against its own data again.
bool withdraw(const QSqlDatabase &db, const QString &partNumber, int pointNo, QString *error);
// The limits in force, none when never frozen or withdrawn.
bool inForce(const QSqlDatabase &db, const QString &partNumber, int pointNo,
             std::optional<Spc::FrozenLimits> *limits, QString *error);

} // namespace ControlLimitsStore
