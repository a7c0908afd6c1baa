#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

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

// The system's cryptography.
class Crypto {
 public:
  Crypto() = default;
  Crypto(const Crypto&) = delete;
  Crypto& operator=(const Crypto&) = delete;
  virtual ~Crypto() = default;

  // BCryptOpenAlgorithmProvider of SHA-256 and BCryptCreateHash; nullptr when either fails.
  virtual std::unique_ptr<Sha256Hash> CreateSha256() = 0;
};
