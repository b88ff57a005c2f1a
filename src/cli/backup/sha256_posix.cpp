// SHA-256 through OpenSSL's libcrypto (EVP), which every Debian system has.
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/backup/sha256.h"

namespace {

const char HexDigits[] = "0123456789abcdef";

// One digest from start to end; the context is freed on every path.
class Hasher {
  public:
    Hasher() : context_(EVP_MD_CTX_new()) {
        ok_ = context_ != nullptr && EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) == 1;
    }
    ~Hasher() { EVP_MD_CTX_free(context_); }
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;

    void Add(const void* data, size_t size) {
        if (ok_ && size > 0) ok_ = EVP_DigestUpdate(context_, data, size) == 1;
    }
    Sha256Outcome Finish(Sha256Digest* digest) {
        unsigned char sum[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (!ok_ || EVP_DigestFinal_ex(context_, sum, &length) != 1 || length != 32)
            return Sha256LibraryFailed;
        digest->hex.clear();
        for (unsigned i = 0; i < length; ++i) {
            digest->hex += HexDigits[sum[i] >> 4];
            digest->hex += HexDigits[sum[i] & 15];
        }
        return Sha256Done;
    }

  private:
    EVP_MD_CTX* context_;
    bool ok_;
};

// O_NONBLOCK: should a pipe take the file's place between the stat and the
// open, the open does not wait for its writer (fstat then refuses it).
int OpenRegularFile(const char* path, Sha256Digest* digest, Sha256Outcome* outcome) {
    struct stat info;
    if (stat(path, &info) != 0) {
        digest->systemError = errno;
        *outcome = errno == ENOENT || errno == ENOTDIR ? Sha256FileMissing : Sha256OpenFailed;
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        *outcome = Sha256NotRegularFile;
        return -1;
    }
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        digest->systemError = errno;
        *outcome = Sha256OpenFailed;
        return -1;
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        *outcome = Sha256NotRegularFile;
        return -1;
    }
    return fd;
}

}  // namespace

Sha256Outcome HashFileSha256(const char* path, Sha256Digest* digest) {
    *digest = Sha256Digest();
    Sha256Outcome outcome = Sha256Done;
    int fd = OpenRegularFile(path, digest, &outcome);
    if (fd < 0) return outcome;
    Hasher hasher;
    unsigned char chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            digest->systemError = errno;
            close(fd);
            return Sha256ReadFailed;
        }
        if (n == 0) break;
        hasher.Add(chunk, (size_t)n);
        digest->bytes += (unsigned long long)n;
    }
    close(fd);
    return hasher.Finish(digest);
}
