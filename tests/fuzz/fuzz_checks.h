// What every fuzz target checks with: a broken rule ends the run at once, so
// libFuzzer keeps the input that broke it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

inline void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz rule broken: %s\n", what);
    std::abort();
}

// The line's checksum, written out apart from the code under test: the low
// byte of the total.
inline unsigned Sum(const uint8_t* b, size_t n) {
    unsigned s = 0;
    for (size_t i = 0; i < n; ++i) s += b[i];
    return s & 0xFF;
}
