// The gain the bank applies at one frequency right now: the complex responses of the bands'
// low-pass splits (each band takes the low part of what the bands below it left), each times
// the band's present gain, summed as the driver sums the bands, plus the remainder above them
// when it is heard. Worked out from copies of the coefficients, so the editor can draw it on
// its own thread without the lock.
#pragma once

#include "engine/band.h"

#include <cstdint>

// One band as the response needs it: its split section and its gain at this moment.
struct ResponseBand {
    double frequency; // the filter's frequency, which decides whether it splits or takes the top
    double b0, b1, b2, a1, a2;
    double gain;      // bandGainNow
    bool summed;      // false for a band that solo mutes
};

// The linear gain a band applies now: its makeup (the band gain included) times the gain
// curve at the envelope's present level; 1 for a bypassed band, which the driver passes as it is.
double bandGainNow(const Band& band);

// The magnitude of the bank's gain at frequency f (Hz) for bands sorted by ascending
// frequency, at the sample rate, without the output gain. With solo, the remainder above the
// bands is not heard. 0 when nothing is summed.
double bankGainAt(const ResponseBand* sorted, int32_t count, double sampleRate, bool solo, double f);
