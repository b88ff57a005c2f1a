// SHA-256 through OpenSSL's libcrypto (EVP), which every Debian system has.
#include <openssl/evp.h>

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

}  // namespace

Sha256Outcome HashBytesSha256(const std::string& bytes, Sha256Digest* digest) {
    *digest = Sha256Digest();
    Hasher hasher;
    hasher.Add(bytes.data(), bytes.size());
    digest->bytes = bytes.size();
    return hasher.Finish(digest);
}
