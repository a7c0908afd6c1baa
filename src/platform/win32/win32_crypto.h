#pragma once

#include "platform/crypto.h"

// SHA-256 through BCrypt (CNG).
class Win32Crypto final : public Crypto {
 public:
  std::unique_ptr<Sha256Hash> CreateSha256() override;
};
