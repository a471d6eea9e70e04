// Decibel conversions shared by the compressor, the parameter texts and the editor. Levels
// below 2^-25 all read as -150 dB, the floor every display and the automatic makeup use.
#pragma once

#include "support/stable_math.h"

#include <cmath>

constexpr double kDbPerNeper = 8.685889638065037;   // 20 / ln 10
constexpr double kNeperPerDb = 0.11512925464970228; // ln 10 / 20
constexpr double kFloorDb = -150.0;

// 20 log10(x), floored at -150 dB; anything below 2^-25 is -150.
inline double ampToDb(double amplitude) {
    if (amplitude < 0x1p-25)
        return kFloorDb;
    const double db = stable_math::log(amplitude) * kDbPerNeper;
    return db < kFloorDb ? kFloorDb : db;
}
