// The seals' hashes from libcrypto: SHA-256 fetched once and its context used again for
// every row (the one-shot call looks the algorithm up each time, which costs more than
// hashing a row).
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstdlib>

#include "seal/Digest.h"

namespace seal {

Digest Sha256(std::string_view bytes) {
  struct Context {
    EVP_MD* md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~Context() {
      EVP_MD_CTX_free(ctx);
      EVP_MD_free(md);
    }
  };
  thread_local Context c;
  Digest d;
  unsigned int n = 0;
  // Without SHA-256 no seal can be made or checked: nothing sensible can go on.
  if (c.md == nullptr || c.ctx == nullptr || !EVP_DigestInit_ex2(c.ctx, c.md, nullptr) ||
      !EVP_DigestUpdate(c.ctx, bytes.data(), bytes.size()) ||
      !EVP_DigestFinal_ex(c.ctx, d.data(), &n)) {
    std::abort();
  }
  return d;
}

Digest HmacSha256(std::string_view key, std::string_view bytes) {
  Digest d;
  unsigned int n = 0;
  if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
           reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), d.data(),
           &n) == nullptr) {
    std::abort();
  }
  return d;
}

}  // namespace seal
