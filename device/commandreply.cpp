#include "device/commandreply.h"

#include <modbus.h>

CommandReply commandReplyOf(LinkOutcome outcome, int error)
{
    switch (outcome) {
    case LinkOutcome::Answered:
        return CommandReply::Taken;
    case LinkOutcome::Rejected:
        // libmodbus reports an exception answer as MODBUS_ENOBASE + its code.
        return error == EMBXSBUSY ? CommandReply::Busy : CommandReply::Refused;
    case LinkOutcome::DeviceFailed:
    case LinkOutcome::Timeout:
    case LinkOutcome::BadCrc:
    case LinkOutcome::Framing:
        break;
    }
    return CommandReply::NotAnswered;
}
