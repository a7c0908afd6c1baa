#include "fake_crypto.h"

#include <openssl/evp.h>

#include "core/hex_text.h"
#include "fake_files.h"

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

constexpr char kSignatureMark[] = "\n#fake-authenticode ";

std::string DigestHex(const std::string& body) {
  OpenSslSha256 hash;
  hash.Add(body.data(), static_cast<std::uint32_t>(body.size()));
  const auto digest = hash.Finish();
  return digest
             ? HexText(std::string_view(reinterpret_cast<const char*>(digest->data()), digest->size()), true)
             : std::string();
}

}  // namespace

Sha256Hash::Digest FakeCrypto::Pin(const std::string& key) {
  OpenSslSha256 hash;
  hash.Add(key.data(), static_cast<std::uint32_t>(key.size()));
  return hash.Finish().value_or(Sha256Hash::Digest{});
}

std::string FakeCrypto::Signed(const std::string& body, const std::vector<std::string>& chain) {
  std::string keys;
  for (const std::string& key : chain) {
    keys += (keys.empty() ? "" : ",") + key;
  }
  return body + kSignatureMark + DigestHex(body) + " " + keys + "\n";
}

SignatureCheck FakeCrypto::VerifySignature(const std::string& path, FileHandle file,
                                           RevocationCheck revocation) {
  verifications.emplace_back(path, revocation);
  const std::optional<std::string> content = disk != nullptr ? disk->ContentThrough(file) : std::nullopt;
  if (!content) {
    return {kInvalidHandle, {}};
  }
  const std::size_t mark = content->rfind(kSignatureMark);
  if (mark == std::string::npos || content->back() != '\n') {
    return {kNoSignature, {}};
  }
  const std::string body = content->substr(0, mark);
  const std::string signature = content->substr(mark + std::string_view(kSignatureMark).size());
  const std::size_t blank = signature.find(' ');
  if (blank == std::string::npos || signature.substr(0, blank) != DigestHex(body)) {
    return {kBadDigest, {}};
  }
  std::vector<std::string> chain;
  const std::string keys = signature.substr(blank + 1, signature.size() - blank - 2);
  for (std::size_t start = 0; start <= keys.size();) {
    const std::size_t comma = keys.find(',', start);
    chain.push_back(keys.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    start = comma == std::string::npos ? keys.size() + 1 : comma + 1;
  }
  if (chain.empty() || trustedRoots.count(chain.back()) == 0) {
    return {kUntrustedRoot, {}};
  }
  if (revocation == RevocationCheck::wholeChain) {
    if (revocationOffline) {
      return {kRevocationOffline, {}};
    }
    for (const std::string& key : chain) {
      if (revokedKeys.count(key) != 0) {
        return {kRevoked, {}};
      }
    }
  }
  return {0, chain};
}

std::unique_ptr<Sha256Hash> FakeCrypto::CreateSha256() {
  if (failCreate) {
    return nullptr;
  }
  ++created;
  return std::make_unique<OpenSslSha256>();
}
