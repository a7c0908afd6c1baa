#include "fake_crypto.h"

#include <openssl/evp.h>

namespace {

class OpenSslSha256 final : public Sha256Hash {
 public:
  OpenSslSha256() : context_(EVP_MD_CTX_new()) {
    ready_ = context_ != nullptr && EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) == 1;
  }
  ~OpenSslSha256() override { EVP_MD_CTX_free(context_); }
  OpenSslSha256(const OpenSslSha256&) = delete;
  OpenSslSha256& operator=(const OpenSslSha256&) = delete;

  bool Add(const void* bytes, std::uint32_t count) override {
    return ready_ && EVP_DigestUpdate(context_, bytes, count) == 1;
  }
  std::optional<Digest> Finish() override {
    Digest digest{};
    unsigned int size = 0;
    if (!ready_ || EVP_DigestFinal_ex(context_, digest.data(), &size) != 1 || size != digest.size()) {
      return std::nullopt;
    }
    ready_ = false;
    return digest;
  }

 private:
  EVP_MD_CTX* context_;
  bool ready_ = false;
};

}  // namespace

std::unique_ptr<Sha256Hash> FakeCrypto::CreateSha256() {
  if (failCreate) {
    return nullptr;
  }
  ++created;
  return std::make_unique<OpenSslSha256>();
}
