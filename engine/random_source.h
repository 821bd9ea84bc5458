// Uniform numbers in [0, 1) for the registers past the tables; the program
// seeds one from the clock, tests script their own.
#pragma once

namespace tarvik {

class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual double NextUniform() = 0;
};

}  // namespace tarvik
