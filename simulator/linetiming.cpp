#include "linetiming.h"

namespace {
constexpr int fastLineThreshold = 19200;
constexpr double fastLineGap = 0.00175;
constexpr double gapCharacters = 3.5;
} // namespace

int LineTiming::bitsPerCharacter() const
{
    const int startBits = 1;
    const int parityBits = parity == 'N' ? 0 : 1;
    return startBits + dataBits + parityBits + stopBits;
}

double LineTiming::characterSeconds() const
{
    return double(bitsPerCharacter()) / baudRate;
}

double LineTiming::frameGapSeconds() const
{
    return baudRate > fastLineThreshold ? fastLineGap : gapCharacters * characterSeconds();
}

double LineTiming::transactionSeconds(int requestBytes, int answerBytes) const
{
    return (requestBytes + answerBytes) * characterSeconds() + 2.0 * frameGapSeconds();
}
