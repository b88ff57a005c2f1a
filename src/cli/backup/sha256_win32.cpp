// SHA-256 through the system's CNG (bcrypt.dll), on every Windows since Vista.
#include <windows.h>
#include <bcrypt.h>

#include "cli/backup/sha256.h"

namespace {

const char HexDigits[] = "0123456789abcdef";

// One digest from start to end; the handles are closed on every path.
class Hasher {
  public:
    Hasher() {
        ok_ = BCRYPT_SUCCESS(
                  BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
              BCRYPT_SUCCESS(BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0));
    }
    ~Hasher() {
        if (hash_ != nullptr) BCryptDestroyHash(hash_);
        if (algorithm_ != nullptr) BCryptCloseAlgorithmProvider(algorithm_, 0);
    }
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;

    void Add(const void* data, size_t size) {
        // CNG takes at most a ULONG at a time.
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        while (ok_ && size > 0) {
            ULONG piece = size > 0x40000000 ? 0x40000000 : (ULONG)size;
            ok_ = BCRYPT_SUCCESS(BCryptHashData(hash_, const_cast<PUCHAR>(bytes), piece, 0));
            bytes += piece;
            size -= piece;
        }
    }
    Sha256Outcome Finish(Sha256Digest* digest) {
        unsigned char sum[32];
        if (!ok_ || !BCRYPT_SUCCESS(BCryptFinishHash(hash_, sum, sizeof sum, 0)))
            return Sha256LibraryFailed;
        digest->hex.clear();
        for (unsigned char b : sum) {
            digest->hex += HexDigits[b >> 4];
            digest->hex += HexDigits[b & 15];
        }
        return Sha256Done;
    }

  private:
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
    bool ok_ = false;
};

}  // namespace

Sha256Outcome HashBytesSha256(const std::string& bytes, Sha256Digest* digest) {
    *digest = Sha256Digest();
    Hasher hasher;
    hasher.Add(bytes.data(), bytes.size());
    digest->bytes = bytes.size();
    return hasher.Finish(digest);
}
