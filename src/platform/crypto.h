#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/handles.h"

// A SHA-256 hash being computed, owned by its std::unique_ptr and released when that goes.
class Sha256Hash {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  Sha256Hash() = default;
  Sha256Hash(const Sha256Hash&) = delete;
  Sha256Hash& operator=(const Sha256Hash&) = delete;
  virtual ~Sha256Hash() = default;

  // BCryptHashData of the bytes.
  virtual bool Add(const void* bytes, std::uint32_t count) = 0;
  // BCryptFinishHash; nullopt when it fails.
  virtual std::optional<Digest> Finish() = 0;
};

// How far a signature's check asks whether a certificate was revoked.
enum class RevocationCheck { wholeChain, none };

// What WinVerifyTrust said of a file's Authenticode signature.
struct SignatureCheck {
  // Its HRESULT: 0 when the signature verifies and its chain leads to a trusted root.
  std::int32_t status = 0;
  // The SubjectPublicKeyInfo (DER) of each certificate of the signer's chain, the signer first; empty when
  // the status is not 0.
  std::vector<std::string> chainKeys;
};

// The system's cryptography.
class Crypto {
 public:
  Crypto() = default;
  Crypto(const Crypto&) = delete;
  Crypto& operator=(const Crypto&) = delete;
  virtual ~Crypto() = default;

  // BCryptOpenAlgorithmProvider of SHA-256 and BCryptCreateHash; nullptr when either fails.
  virtual std::unique_ptr<Sha256Hash> CreateSha256() = 0;

  // WinVerifyTrust (WINTRUST_ACTION_GENERIC_VERIFY_V2, no UI) of the Authenticode signature of a file read
  // through its open handle, with the chain's revocation checked as asked; then the signer's chain
  // (WTHelperProvDataFromStateData, WTHelperGetProvSignerFromChain).
  virtual SignatureCheck VerifySignature(const std::string& path, FileHandle file,
                                         RevocationCheck revocation) = 0;
};
