#include "platform/win32/win32_crypto.h"

#include <windows.h>

#include <bcrypt.h>

namespace {

// The algorithm provider and the hash object, each closed when the hash goes.
class Win32Sha256 final : public Sha256Hash {
 public:
  Win32Sha256(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE hash) : algorithm_(algorithm), hash_(hash) {}
  ~Win32Sha256() override {
    BCryptDestroyHash(hash_);
    BCryptCloseAlgorithmProvider(algorithm_, 0);
  }
  Win32Sha256(const Win32Sha256&) = delete;
  Win32Sha256& operator=(const Win32Sha256&) = delete;

  bool Add(const void* bytes, std::uint32_t count) override {
    return BCRYPT_SUCCESS(BCryptHashData(hash_, static_cast<PUCHAR>(const_cast<void*>(bytes)), count,
                                         0));  // NOLINT: BCrypt is not const-correct
  }
  std::optional<Digest> Finish() override {
    Digest digest{};
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0))) {
      return std::nullopt;
    }
    return digest;
  }

 private:
  BCRYPT_ALG_HANDLE algorithm_;
  BCRYPT_HASH_HANDLE hash_;
};

}  // namespace

std::unique_ptr<Sha256Hash> Win32Crypto::CreateSha256() {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    return nullptr;
  }
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return nullptr;
  }
  return std::make_unique<Win32Sha256>(algorithm, hash);
}
