#pragma once

// How long frames take on a real serial line with the configured framing;
// a pty moves bytes at once, so the simulator waits this long instead.
struct LineTiming
{
    int baudRate = 115200;
    int dataBits = 8;
    char parity = 'N';
    int stopBits = 1;

    int bitsPerCharacter() const;
    double characterSeconds() const;
    // The silence that ends a frame: 3.5 characters, fixed at 1.75 ms above
    // 19200 bit/s.
    double frameGapSeconds() const;
    // Time from the master's first request byte to the last answer byte.
    double transactionSeconds(int requestBytes, int answerBytes) const;
};
