#pragma once

#include <QSettings>

// The operator's settings of the program (the database chosen, the identity
// last typed, the test program in use), in QSettings' native place on each
// platform. Every part of the program opens them here, so that they all
// meet in one store. Where lang.ini and the Data folder are: AppLocations.
namespace TorvelinSettings {
constexpr const char Organization[] = "Torvelin";
constexpr const char Application[] = "Torvelin";
QSettings open();
} // namespace TorvelinSettings
