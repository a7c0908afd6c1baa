#pragma once

#include "platform/crypto.h"

// SHA-256 on the host through OpenSSL's libcrypto. A test can make the hash's creation fail.
class FakeCrypto final : public Crypto {
 public:
  std::unique_ptr<Sha256Hash> CreateSha256() override;

  bool failCreate = false;
  // How many hashes were made.
  int created = 0;
};
