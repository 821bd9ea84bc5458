// The program's random source: seeded once from the clock.
#pragma once

#include <cstdint>
#include <random>

#include "engine/random_source.h"

namespace tarvik {

class ClockSeededRandom : public RandomSource {
public:
    ClockSeededRandom();
    double NextUniform() override;

private:
    std::mt19937_64 generator_;
};

// A random register byte: uniform [0,1) times 255, rounded half to even.
int RandomByte(RandomSource& random);

}  // namespace tarvik
