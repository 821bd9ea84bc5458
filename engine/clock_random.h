// The program's random source: seeded once, from the clock or, for runs
// that must repeat, from a given number.
#pragma once

#include <cstdint>
#include <random>

#include "engine/random_source.h"

namespace tarvik {

class ClockSeededRandom : public RandomSource {
public:
    ClockSeededRandom();
    // The same seed gives the same sequence, run to run and build to build.
    explicit ClockSeededRandom(uint64_t seed);
    double NextUniform() override;

private:
    std::mt19937_64 generator_;
};

// A random register byte: uniform [0,1) times 255, rounded half to even.
int RandomByte(RandomSource& random);

}  // namespace tarvik
