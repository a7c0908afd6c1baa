#pragma once

#include "platform/crypto.h"

// SHA-256 through BCrypt (CNG); Authenticode signatures through WinTrust.
class Win32Crypto final : public Crypto {
 public:
  std::unique_ptr<Sha256Hash> CreateSha256() override;
  SignatureCheck VerifySignature(const std::string& path, FileHandle file,
                                 RevocationCheck revocation) override;
};
