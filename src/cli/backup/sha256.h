// SHA-256 of a file, from the system's crypto library
// (libcrypto on Linux, CNG on Windows): a backup's proof must not rest on a
// hash of our own.
#pragma once
#include <string>

enum Sha256Outcome {
    Sha256Done = 0,
    Sha256FileMissing = 1,     // no such file
    Sha256NotRegularFile = 2,  // a folder, a pipe, a device: refused before it is opened
    Sha256OpenFailed = 3,      // there, but it cannot be opened (permission, ...)
    Sha256ReadFailed = 4,      // a read failed part-way: no digest is given
    Sha256LibraryFailed = 5,   // the crypto library refused (out of memory, no provider)
};

// What was hashed. systemError: errno on Linux, GetLastError() on Windows, for
// the failures that have one (0 otherwise).
struct Sha256Digest {
    std::string hex;  // 64 lower-case hexadecimal digits
    unsigned long long bytes = 0;
    int systemError = 0;
};

// The whole file, read to its end; a file that changes while it is read gives
// the digest of what was read, and bytes says how much that was.
Sha256Outcome HashFileSha256(const char* path, Sha256Digest* digest);
