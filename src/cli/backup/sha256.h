// SHA-256 from the system's crypto library (libcrypto on Linux, CNG on
// Windows): a backup's proof must not rest on a hash of our own. Files are
// hashed as dm730 holds them in memory or open, never reopened by name, so
// what is hashed is what is written or sent.
#pragma once
#include <string>

enum Sha256Outcome {
    Sha256Done = 0,
    Sha256LibraryFailed = 1,  // the crypto library refused (out of memory, no provider)
};

struct Sha256Digest {
    std::string hex;  // 64 lower-case hexadecimal digits
    unsigned long long bytes = 0;
};

Sha256Outcome HashBytesSha256(const std::string& bytes, Sha256Digest* digest);

// The 32 bytes of the sum from the platform's library; false where it refused.
bool SystemSha256(const std::string& bytes, unsigned char sum[32]);
