#pragma once

#include <QString>

// Which station a record comes from. The host name says where, for people;
// the id says which installation, for the program: two cloned PCs share a
// host name, and only the installation's own running tests may be taken for
// interrupted when it starts.
namespace Station {

QString hostName();
// Made once per installation, on first use, and kept in the settings store
// (group "Station"); the same for every later run.
QString id();

} // namespace Station
