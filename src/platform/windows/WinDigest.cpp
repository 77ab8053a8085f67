// The seals' hashes from CNG: the algorithms are opened once, each hash is one call.
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <cstdlib>

#include "seal/Digest.h"

namespace seal {
namespace {

BCRYPT_ALG_HANDLE Open(ULONG flags) {
  BCRYPT_ALG_HANDLE h = nullptr;
  // Without SHA-256 no seal can be made or checked: nothing sensible can go on.
  if (BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, flags) < 0) std::abort();
  return h;
}

Digest Hash(BCRYPT_ALG_HANDLE alg, std::string_view key, std::string_view bytes) {
  Digest d;
  BCRYPT_HASH_HANDLE h = nullptr;
  if (BCryptCreateHash(alg, &h, nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(key.data())),
                       static_cast<ULONG>(key.size()), 0) < 0 ||
      BCryptHashData(h, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                     static_cast<ULONG>(bytes.size()), 0) < 0 ||
      BCryptFinishHash(h, d.data(), static_cast<ULONG>(d.size()), 0) < 0) {
    std::abort();
  }
  BCryptDestroyHash(h);
  return d;
}

}  // namespace

Digest Sha256(std::string_view bytes) {
  static BCRYPT_ALG_HANDLE alg = Open(0);
  return Hash(alg, {}, bytes);
}

Digest HmacSha256(std::string_view key, std::string_view bytes) {
  static BCRYPT_ALG_HANDLE alg = Open(BCRYPT_ALG_HANDLE_HMAC_FLAG);
  return Hash(alg, key, bytes);
}

}  // namespace seal
