#include "app/data_cipher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace corvenhal::app {
namespace {

using namespace std::string_literals;

std::string Unhex(std::string_view hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

DesKey KeyOf(std::string_view hex) {
  std::string bytes = Unhex(hex);
  DesKey key{};
  for (size_t i = 0; i < 8; ++i) key[i] = static_cast<std::uint8_t>(bytes[i]);
  return key;
}

std::uint64_t BlockOf(std::string_view hex) { return std::stoull(std::string(hex), nullptr, 16); }

// Enciphers `plain` (a multiple of 8 bytes) block by block with standard DES.
std::string EcbEncrypt(const DesKey& key, std::string_view plain) {
  Des des(key);
  std::string out;
  for (size_t at = 0; at < plain.size(); at += 8) {
    std::uint64_t block = 0;
    for (int i = 0; i < 8; ++i) block = (block << 8) | static_cast<unsigned char>(plain[at + i]);
    block = des.Encrypt(block);
    for (int i = 7; i >= 0; --i) out += static_cast<char>((block >> (8 * i)) & 0xFF);
  }
  return out;
}

std::string EcbDecrypt(const DesKey& key, std::string_view cipher) {
  Des des(key);
  std::string out;
  for (size_t at = 0; at < cipher.size(); at += 8) {
    std::uint64_t block = 0;
    for (int i = 0; i < 8; ++i) block = (block << 8) | static_cast<unsigned char>(cipher[at + i]);
    block = des.Decrypt(block);
    for (int i = 7; i >= 0; --i) out += static_cast<char>((block >> (8 * i)) & 0xFF);
  }
  return out;
}

// The key the data cipher uses for a password, in standard DES order.
DesKey StandardKey(std::string_view password) { return ReverseKeyBits(FoldPassword(password)); }

TEST(Des, PublishedVectors) {
  struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
  };
  const Vector vectors[] = {
      {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
      {"0E329232EA6D0D73", "8787878787878787", "0000000000000000"},
      {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
      {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
      {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
      {"4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
  };
  for (const Vector& v : vectors) {
    Des des(KeyOf(v.key));
    EXPECT_EQ(des.Encrypt(BlockOf(v.plain)), BlockOf(v.cipher)) << v.key << " " << v.plain;
    EXPECT_EQ(des.Decrypt(BlockOf(v.cipher)), BlockOf(v.plain)) << v.key << " " << v.cipher;
  }
}

TEST(DataCipher, FoldPassword) {
  struct Case {
    std::string password;
    const char* key;
  };
  const Case cases[] = {
      {"", "0000000000000000"},
      {"abc", "6162630000000000"},
      {"abcdefgh", "6162636465666768"},
      {"blueharbor", "0D1E756568617262"},  // bytes 8 and 9 wrap onto 0 and 1
      {"abcdefghabcdefgh", "0000000000000000"},
      {"ab\0cd"s, "6162000000000000"},  // the password ends at its first zero byte
  };
  for (const Case& c : cases) EXPECT_EQ(FoldPassword(c.password), KeyOf(c.key)) << c.password;
  EXPECT_EQ(ReverseKeyBits(KeyOf("133457799BBCDFF1")), KeyOf("C82CEA9ED93DFB8F"));
}

TEST(DataCipher, KnownRecord) {
  // "1.0.0.1" under "blueharbor", from a reference DES keyed with the
  // bit-reversed folded key B078AEA616864E46.
  EXPECT_EQ(EncryptData("1.0.0.1", "blueharbor"), Unhex("591F90F0721FE761D9D9A114AB93D48D"));
  EXPECT_EQ(DecryptData(Unhex("591F90F0721FE761D9D9A114AB93D48D"), "blueharbor"), "1.0.0.1");
  // The published vector through the key relation: a password whose folded
  // key is the bit-reversed vector key enciphers a block like the vector.
  Des des(StandardKey("\xC8\x2C\xEA\x9E\xD9\x3D\xFB\x8F"));
  EXPECT_EQ(des.Encrypt(BlockOf("0123456789ABCDEF")), BlockOf("85E813540F0AB405"));
}

TEST(DataCipher, SizesAndPlaintextLayout) {
  struct Case {
    size_t length;
    size_t cipherLength;
  };
  const Case cases[] = {{1, 8}, {4, 8}, {5, 16}, {11, 16}, {12, 16}, {13, 24}, {300, 304}};
  for (const Case& c : cases) {
    std::string data(c.length, '\xA5');
    Bytes cipher = EncryptData(data, "blueharbor");
    ASSERT_EQ(cipher.size(), c.cipherLength) << c.length;
    std::string plain = EcbDecrypt(StandardKey("blueharbor"), cipher);
    std::string prefix{static_cast<char>(c.length & 0xFF), static_cast<char>(c.length >> 8), '\0', '\0'};
    EXPECT_EQ(plain, prefix + data + std::string(c.cipherLength - 4 - c.length, '\0')) << c.length;
  }
  EXPECT_EQ(EncryptData("", "blueharbor"), "");
}

TEST(DataCipher, RoundTrips) {
  std::mt19937 random(7);
  const std::string passwords[] = {"blueharbor", "", "x", "a much longer password than eight bytes", "\xD6\xD0\xCE\xC4"};
  for (size_t length = 1; length <= 40; ++length) {
    std::string data;
    for (size_t i = 0; i < length; ++i) data += static_cast<char>(random() & 0xFF);
    for (const std::string& password : passwords) {
      EXPECT_EQ(DecryptData(EncryptData(data, password), password), data) << length << " " << password;
    }
  }
  EXPECT_EQ(DecryptData(EncryptData("1.0\r\n", "blueharbor"), "blueharbor"), "1.0\r\n");
  EXPECT_EQ(DecryptData(EncryptData("\0\0"s, "blueharbor"), "blueharbor"), "\0\0"s);
}

TEST(DataCipher, KeyBitOrder) {
  const std::string version = "2.3.4.5";
  Bytes record = EncryptData(version, "blueharbor");
  // Bit 7 of a key byte is parity and changes nothing; bit 0 does.
  EXPECT_EQ(EncryptData(version, "bl\xF5" "eharbor"), record);
  EXPECT_NE(EncryptData(version, "bl\x74" "eharbor"), record);
  // A standard DES keyed with the folded key as it is (not bit-reversed)
  // neither reads nor writes these records.
  DesKey unreversed = FoldPassword("blueharbor");
  std::string plain = "\x07\0\0\0"s + version + "\0\0\0\0\0"s;
  EXPECT_NE(EcbDecrypt(unreversed, record), plain);
  EXPECT_EQ(DecryptData(EcbEncrypt(unreversed, plain), "blueharbor"), "");
  EXPECT_EQ(EcbEncrypt(StandardKey("blueharbor"), plain), record);
}

TEST(DataCipher, DecryptRejections) {
  const DesKey key = StandardKey("blueharbor");
  auto craft = [&](std::int32_t n, size_t length, char fill = '\0') {
    std::string plain(length, fill);
    auto u = static_cast<std::uint32_t>(n);
    for (int i = 0; i < 4; ++i) plain[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
    return EcbEncrypt(key, plain);
  };
  struct Case {
    const char* name;
    std::string data;
    std::string expected;
  };
  const Bytes good = EncryptData("abcdefghijkl", "blueharbor");  // 16 bytes
  const Case cases[] = {
      {"empty", "", ""},
      {"truncated to 15 bytes", good.substr(0, 15), ""},
      {"9 bytes", good.substr(0, 9), ""},
      {"first block alone", good.substr(0, 8), ""},  // N = 12 > L - 4
      {"N = 0", craft(0, 8), ""},
      {"N = -1", craft(-1, 8), ""},
      {"N = most negative", craft(INT32_MIN, 16), ""},
      {"N > L - 4", craft(5, 8), ""},
      {"N = 13 in 16 bytes", craft(13, 16), ""},
      {"8 padding bytes (L = N + 12)", craft(4, 16), ""},
      {"N far below L", craft(1, 64), ""},
      {"7 padding bytes", craft(5, 16), std::string(5, '\0')},
      {"N = L - 4", craft(12, 16), std::string(12, '\0')},
      {"padding content not checked", craft(5, 16, 'z'), "zzzzz"},
      {"valid", good, "abcdefghijkl"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecryptData(c.data, "blueharbor"), c.expected) << c.name;
  EXPECT_EQ(DecryptData(good, "blueharbour"), "");
}

}  // namespace
}  // namespace corvenhal::app
