// The password-keyed block cipher of the version record: DES in ECB mode over
// a plaintext of a 4-byte little-endian length, the data and zero padding to a
// multiple of 8 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace corvenhal::app {

using DesKey = std::array<std::uint8_t, 8>;

// DES (FIPS 46-3) on single 64-bit blocks. The key is in the standard order:
// the most significant bit of each byte first, the least significant one
// being parity. Byte 0 of a block is the block's most significant byte.
class Des {
 public:
  explicit Des(const DesKey& key);
  std::uint64_t Encrypt(std::uint64_t block) const { return Run(block, false); }
  std::uint64_t Decrypt(std::uint64_t block) const { return Run(block, true); }

 private:
  std::uint64_t Run(std::uint64_t block, bool decrypt) const;
  std::array<std::uint64_t, 16> subkeys_{};
};

// 8 zero bytes with the password's bytes (up to its first zero byte) XORed in
// round-robin: key[i mod 8] ^= password[i].
DesKey FoldPassword(std::string_view password);

// The data cipher takes each key byte least significant bit first, which is
// standard DES keyed with every byte bit-reversed. So bit 7 of a folded key
// byte lands on the parity position and has no effect.
DesKey ReverseKeyBits(const DesKey& key);

// Empty for empty data.
Bytes EncryptData(std::string_view data, std::string_view password);
// Empty unless `data` is a valid ciphertext for the password: a non-zero
// multiple of 8 bytes whose length prefix N satisfies 0 < N <= L - 4 and
// L < N + 12 (at most 7 padding bytes).
Bytes DecryptData(std::string_view data, std::string_view password);

}  // namespace corvenhal::app
