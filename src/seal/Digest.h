// The hashes behind the seals, from the platform's own library: libcrypto on Linux,
// CNG (bcrypt) on Windows. Each platform folder defines these.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace seal {

using Digest = std::array<std::uint8_t, 32>;

// SHA-256 of `bytes`.
Digest Sha256(std::string_view bytes);
// HMAC-SHA-256 of `bytes` under `key`.
Digest HmacSha256(std::string_view key, std::string_view bytes);

}  // namespace seal
