#pragma once
// Progress figures of an upload: speed samples and the size text.
#include <cstdint>

#include "support/Flavour.h"

// Bytes per second averaged over the last three one-second samples. The
// divisor is always 3, also while fewer samples exist.
class SpeedCalculater {
public:
    typedef uint32_t (*Clock)();
    // clock gives milliseconds (wrapping at 2^32); the default is the system tick.
    explicit SpeedCalculater(Clock clock = nullptr);

    // A new sample is taken when at least 1000 ms passed since the last one
    // (at once on the first call); otherwise the last result is returned.
    uint32_t Calculate(uint32_t bytesSent);

private:
    Clock clock_;
    uint32_t count_ = 0;
    uint32_t lastBytes_ = 0;
    uint32_t lastSpeed_ = 0;
    uint32_t samples_[3] = {0, 0, 0};
    uint32_t lastTick_ = 0;
    uint32_t nowTick_ = 0;
};

// "1.5KB" (npPixmend: six significant digits) or "1.50KB" (Pixmend: two
// decimals); below 1024 the integer followed by "Bytes".
PxString FormatByteSize(double bytes);

// "100%" when sent equals total (also 0 of 0); otherwise sent * 100 / total
// truncated, unclamped. With nothing to send but bytes counted, "100%".
PxString PercentText(uint32_t sent, uint32_t total);
