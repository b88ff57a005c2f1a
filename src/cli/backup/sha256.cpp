#include "cli/backup/sha256.h"

Sha256Outcome HashBytesSha256(const std::string& bytes, Sha256Digest* digest) {
    static const char HexDigits[] = "0123456789abcdef";
    *digest = Sha256Digest();
    unsigned char sum[32];
    if (!SystemSha256(bytes, sum)) return Sha256LibraryFailed;
    for (unsigned char b : sum) {
        digest->hex += HexDigits[b >> 4];
        digest->hex += HexDigits[b & 15];
    }
    digest->bytes = bytes.size();
    return Sha256Done;
}
