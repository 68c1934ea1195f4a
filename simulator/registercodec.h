#pragma once

#include <cstdint>
#include <cstring>

// The controller's value encoding on the wire. Written here independently of
// the program's own decoder so that tests against the simulator check it.
// A real value is an IEEE-754 single in two registers, bits 0-15 in the
// lower-numbered register and bits 16-31 in the next one.
namespace RegisterCodec {

inline void putFloat(uint16_t *registers, float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    registers[0] = static_cast<uint16_t>(bits & 0xFFFFu);
    registers[1] = static_cast<uint16_t>(bits >> 16);
}

inline float getFloat(const uint16_t *registers)
{
    const uint32_t bits = uint32_t(registers[0]) | (uint32_t(registers[1]) << 16);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace RegisterCodec
