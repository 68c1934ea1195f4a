#pragma once

#include "device/linkhealth.h"

// What became of a command written to the tester (Start, Stop).
enum class CommandReply {
    Taken,       // the tester answered it: it was carried out
    Busy,        // answered with "busy" (Modbus exception 06): not now, ask again
    Refused,     // answered with another Modbus exception: asking again changes nothing
    NotAnswered, // no usable answer within the timeout; it may or may not have been carried out
    NoLink,      // the port is not open: nothing was sent
};

// The reply of a write, from its transaction's outcome and the failed call's errno.
CommandReply commandReplyOf(LinkOutcome outcome, int error);

// Whether the tester heard the command and asking again would change nothing.
inline bool isDelivered(CommandReply reply)
{
    return reply == CommandReply::Taken || reply == CommandReply::Refused;
}
