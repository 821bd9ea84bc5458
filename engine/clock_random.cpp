#include "engine/clock_random.h"

#include <chrono>
#include <cmath>

namespace tarvik {

ClockSeededRandom::ClockSeededRandom()
    : generator_(static_cast<uint64_t>(
          std::chrono::high_resolution_clock::now().time_since_epoch().count())) {}

ClockSeededRandom::ClockSeededRandom(uint64_t seed) : generator_(seed) {}

double ClockSeededRandom::NextUniform() {
    // 53 random bits give every double in [0, 1) on a uniform grid.
    return static_cast<double>(generator_() >> 11) * 0x1.0p-53;
}

int RandomByte(RandomSource& random) {
    const double scaled = random.NextUniform() * 255.0;
    double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    if (whole < 0.0) return 0;
    if (whole > 255.0) return 255;
    return static_cast<int>(whole);
}

}  // namespace tarvik
