#pragma once

#include "recordstool/verb.h"

// The verbs of torvelin-records, each in a file of its own; recordstool.cpp
// lists them in its table.
namespace RecordsTool {

int runInit(const QStringList &arguments, const Io &io);   // initverb.cpp

} // namespace RecordsTool
