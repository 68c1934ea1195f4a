#pragma once

#include <cstdint>

// The test programs and measured results kept in the controller's memory,
// rendered as the reply blocks that the master reads after a request.
// simulator/README.md lists every value, so tests may rely on them.
namespace StoredData {

constexpr int testCount = 5;
constexpr int groupCount = 3;
constexpr int settingReplyCode = 6;
constexpr int dataReplyCode = 8;
constexpr int settingReplyRegisters = 60;
constexpr int dataReplyRegisters = 25;
constexpr uint16_t noRecord = 255;

int recordsInGroup(int group);
// Test numbers outside 1..testCount are clamped to the nearest stored test.
int clampTest(int test);

// Fills registers 0..59 with the setting reply for stored test `test`.
void settingReply(int test, uint16_t *registers);
// Fills registers 0..24 with the data reply for record `record` of group
// `group`, or the no-record answer when there is no such record.
void dataReply(int group, int record, uint16_t *registers);

} // namespace StoredData
