// SHA-256 through the system's CNG (bcrypt.dll), on every Windows since Vista.
#include <windows.h>
#include <bcrypt.h>

#include "cli/backup/sha256.h"

bool SystemSha256(const std::string& bytes, unsigned char sum[32]) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCRYPT_SUCCESS(
                  BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
              BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    // CNG takes at most a ULONG at a time.
    const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t left = bytes.size();
    while (ok && left > 0) {
        ULONG piece = left > 0x40000000 ? 0x40000000 : (ULONG)left;
        ok = BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(data), piece, 0));
        data += piece;
        left -= piece;
    }
    ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, sum, 32, 0));
    // Closed on every path, however far it got.
    if (hash != nullptr) BCryptDestroyHash(hash);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
    return ok;
}
