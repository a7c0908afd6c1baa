#include <gtest/gtest.h>

#include <string>

#include "adapter_test_paths.h"
#include "platform/win32/win32_crypto.h"
#include "platform/win32/win32_files.h"
#include "product/publisher_pins.h"

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

namespace {

// The package set's runtime installer as its publisher signed it, as no one signed it, and changed after
// signing: WinVerifyTrust reads each through the handle that holds it, and hands out the signer's chain of
// the one that verifies, which holds the key the build pins.
TEST(Win32Crypto, VerifiesASignatureThroughTheHandleThatHoldsThePackage) {
  Win32Files files;
  Win32Crypto crypto;
  struct Case {
    const char* package;
    std::int32_t status;
  };
  for (const Case& c :
       {Case{"downloads\\VC_redist.x64.exe", 0},
        Case{"variants\\unsigned\\VC_redist.x64.exe", static_cast<std::int32_t>(0x800B0100)},
        Case{"variants\\tampered\\VC_redist.x64.exe", static_cast<std::int32_t>(0x80096010)}}) {
    const std::string path = BuildDirectory() + "\\packages\\" + c.package;
    const FileHandle held = files.Create(path, Files::kGenericRead, Files::kShareRead, Files::kOpenExisting,
                                         Files::kAttributeNormal);
    ASSERT_NE(held, FileHandle::invalid) << path;
    const SignatureCheck check = crypto.VerifySignature(path, held, RevocationCheck::none);
    files.Close(held);
    EXPECT_EQ(check.status, c.status) << c.package;
    if (c.status != 0) {
      EXPECT_TRUE(check.chainKeys.empty()) << c.package;
      continue;
    }
    const std::vector<Sha256Hash::Digest> pins = BuiltPublisherPins();
    ASSERT_FALSE(pins.empty());
    bool pinned = false;
    for (const std::string& key : check.chainKeys) {
      const auto hash = crypto.CreateSha256();
      ASSERT_TRUE(hash && hash->Add(key.data(), static_cast<std::uint32_t>(key.size())));
      pinned = pinned || hash->Finish() == pins.front();
    }
    EXPECT_TRUE(pinned) << check.chainKeys.size() << " keys in the chain";
  }
}

}  // namespace
