#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/crypto.h"

class FakeFiles;

// SHA-256 on the host through OpenSSL's libcrypto. A test can make the hash's creation fail.
// Authenticode as WinVerifyTrust checks it: a signed package carries its signature in the file (`Signed`
// appends one: the digest of what it signs and the keys of its signer's chain), read through the handle
// the caller passes, which must be open for reading. No signature: TRUST_E_NOSIGNATURE; a file changed
// after signing: TRUST_E_BAD_DIGEST; a chain whose root the machine does not trust: CERT_E_UNTRUSTEDROOT; a
// revoked certificate, or revocation that cannot be checked, when revocation is asked for.
class FakeCrypto final : public Crypto {
 public:
  std::unique_ptr<Sha256Hash> CreateSha256() override;
  SignatureCheck VerifySignature(const std::string& path, FileHandle file,
                                 RevocationCheck revocation) override;

  static constexpr std::int32_t kNoSignature = static_cast<std::int32_t>(0x800B0100);
  static constexpr std::int32_t kBadDigest = static_cast<std::int32_t>(0x80096010);
  static constexpr std::int32_t kUntrustedRoot = static_cast<std::int32_t>(0x800B0109);
  static constexpr std::int32_t kRevoked = static_cast<std::int32_t>(0x800B010C);
  static constexpr std::int32_t kRevocationOffline = static_cast<std::int32_t>(0x800B010E);
  static constexpr std::int32_t kInvalidHandle = static_cast<std::int32_t>(0x80070006);
  // The keys (SubjectPublicKeyInfo) of the test world's publisher and its authority, and of another
  // authority that the machine trusts as well.
  static constexpr char kPublisherKey[] = "spki:halvorn-test-signer";
  static constexpr char kPublisherCaKey[] = "spki:halvorn-test-ca";
  static constexpr char kOtherKey[] = "spki:other-signer";
  static constexpr char kOtherCaKey[] = "spki:other-ca";
  // The package signed by a chain (signer first); the test world's publisher unless told otherwise.
  static std::string Signed(const std::string& body,
                            const std::vector<std::string>& chain = {kPublisherKey, kPublisherCaKey});

  // The pin of a key: the SHA-256 of its SubjectPublicKeyInfo.
  static Sha256Hash::Digest Pin(const std::string& key);

  bool failCreate = false;
  // How many hashes were made.
  int created = 0;
  // Where the files are read.
  FakeFiles* disk = nullptr;
  std::set<std::string> trustedRoots = {kPublisherCaKey, kOtherCaKey};
  std::set<std::string> revokedKeys;
  // The revocation servers cannot be reached.
  bool revocationOffline = false;
  // Every check, by path, and the revocation it asked for.
  std::vector<std::pair<std::string, RevocationCheck>> verifications;
};
