#pragma once

class QSqlError;

// Whether a write failed because the database will not take these rows
// (a constraint, a trigger, a row-level policy, a figure out of range), as
// opposed to the database failing (connection lost, disk full, locked, shut
// down). Rows refused would be refused again however often they are sent;
// a failing database takes them once it is back.
namespace WriteRefusal {

bool refusesTheRows(bool postgres, const QSqlError &error);

} // namespace WriteRefusal
