#pragma once

#include <QtGlobal>

// The process's resident memory, as the kernel counts it.
namespace ResidentMemory {

// Bytes resident now (from /proc/self/statm); 0 when it cannot be read.
qint64 bytes();

// Hands the allocator's free memory back to the system, so that a following
// measurement of growth starts from what the process really holds.
void releaseFreeMemory();

} // namespace ResidentMemory
