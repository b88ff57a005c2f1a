// SHA-256 through OpenSSL's libcrypto (EVP), which every Debian system has.
#include <openssl/evp.h>

#include "cli/backup/sha256.h"

bool SystemSha256(const std::string& bytes, unsigned char sum[32]) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), out, &length, EVP_sha256(), nullptr) != 1 ||
        length != 32)
        return false;
    for (unsigned i = 0; i < 32; ++i) sum[i] = out[i];
    return true;
}
