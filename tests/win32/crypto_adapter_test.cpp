#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_crypto.h"

namespace {

std::string Hex(const Sha256Hash::Digest& digest) {
  constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : digest) {
    text += kHex[byte >> 4U];
    text += kHex[byte & 0xFU];
  }
  return text;
}

// The published test vectors of SHA-256, the second fed in two pieces.
TEST(Win32Crypto, HashesAsSha256Does) {
  Win32Crypto crypto;
  const auto empty = crypto.CreateSha256();
  ASSERT_TRUE(empty);
  const auto emptyDigest = empty->Finish();
  ASSERT_TRUE(emptyDigest);
  EXPECT_EQ(Hex(*emptyDigest), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  const auto hash = crypto.CreateSha256();
  ASSERT_TRUE(hash);
  EXPECT_TRUE(hash->Add("a", 1));
  EXPECT_TRUE(hash->Add("bc", 2));
  const auto digest = hash->Finish();
  ASSERT_TRUE(digest);
  EXPECT_EQ(Hex(*digest), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
