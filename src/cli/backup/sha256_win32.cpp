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

// A folder is refused by its attributes before any open; a pipe or a device
// is refused by its type right after the open, before anything is read.
HANDLE OpenRegularFile(const char* path, Sha256Digest* digest, Sha256Outcome* outcome) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        digest->systemError = (int)error;
        *outcome = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? Sha256FileMissing
                       : Sha256OpenFailed;
        return INVALID_HANDLE_VALUE;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        *outcome = Sha256NotRegularFile;
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        digest->systemError = (int)GetLastError();
        *outcome = Sha256OpenFailed;
        return INVALID_HANDLE_VALUE;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        *outcome = Sha256NotRegularFile;
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

}  // namespace

Sha256Outcome HashFileSha256(const char* path, Sha256Digest* digest) {
    *digest = Sha256Digest();
    Sha256Outcome outcome = Sha256Done;
    HANDLE file = OpenRegularFile(path, digest, &outcome);
    if (file == INVALID_HANDLE_VALUE) return outcome;
    Hasher hasher;
    unsigned char chunk[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &n, nullptr)) {
            digest->systemError = (int)GetLastError();
            CloseHandle(file);
            return Sha256ReadFailed;
        }
        if (n == 0) break;
        hasher.Add(chunk, n);
        digest->bytes += n;
    }
    CloseHandle(file);
    return hasher.Finish(digest);
}
