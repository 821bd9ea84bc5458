// The command line the bench's stand-in servers share:
// NAME PORT [LIFETIME_SECONDS]. Port 0 picks a free one. A server started by a
// script that is itself killed still ends by itself when its lifetime is over.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace tarvik::bench {

inline constexpr long kDefaultLifetime = 1800;
inline constexpr long kMaxLifetime = 24 * 3600;

struct ServerArgs {
    long port = 0;
    long lifetime = kDefaultLifetime;
};

inline bool ReadNumber(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return *text != '\0' && *end == '\0' && value >= low && value <= high;
}

// False, after the usage line on stderr, when the arguments do not fit.
inline bool ReadServerArgs(int argc, char** argv, const char* name, ServerArgs& args) {
    if (argc >= 2 && argc <= 3 && ReadNumber(argv[1], 0, 65535, args.port) &&
        (argc == 2 || ReadNumber(argv[2], 1, kMaxLifetime, args.lifetime))) {
        return true;
    }
    std::fprintf(stderr, "usage: %s PORT [LIFETIME_SECONDS (1..%ld, default %ld)]\n", name,
                 kMaxLifetime, kDefaultLifetime);
    return false;
}

}  // namespace tarvik::bench
