#pragma once

#include <QString>

// Which station a record comes from. The host name says where, for people;
// the id says which installation, for the program: two cloned PCs share a
// host name, and only the installation's own running tests may be taken for
// interrupted when it starts.
namespace Station {

QString hostName();
// Made once per installation, on first use, and kept in the settings store
// (group "Station") with the machine it was made on: the same for every
// later run, and made anew on a PC cloned from this one (its machine id
// differs; its settings came with the clone).
QString id();

// Whether this copy of the program is the only one of its installation
// running (it holds the installation's lock from the first call on). Only
// then are the installation's running records left from an earlier run: a
// second copy started beside the first must not mark the first's test.
bool runsAlone();
// The lock file a copy holds while it runs.
QString lockPath();

} // namespace Station
