#pragma once

#include <QStringList>

// The program library's and the verifications' tables, and the guards that
// keep a version or a verification on record as it was.
namespace LibrarySchema {

QStringList statements(bool postgres);

} // namespace LibrarySchema
