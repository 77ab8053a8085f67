// The seals' hashes from libcrypto's one-shot calls: no context to set up per row.
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>

#include "seal/Digest.h"

namespace seal {

Digest Sha256(std::string_view bytes) {
  Digest d;
  SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), d.data());
  return d;
}

Digest HmacSha256(std::string_view key, std::string_view bytes) {
  Digest d;
  unsigned int n = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
       reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), d.data(), &n);
  return d;
}

}  // namespace seal
