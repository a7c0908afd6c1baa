#include "platform/win32/win32_crypto.h"

#include <windows.h>

#include <bcrypt.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "platform/win32/wide_text.h"

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

namespace {

// The DER form of a certificate's SubjectPublicKeyInfo (CryptEncodeObjectEx); empty when it cannot be made.
std::string EncodedKeyInfo(PCCERT_CONTEXT certificate) {
  BYTE* encoded = nullptr;
  DWORD size = 0;
  if (CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO,
                          &certificate->pCertInfo->SubjectPublicKeyInfo, CRYPT_ENCODE_ALLOC_FLAG, nullptr,
                          &encoded, &size) == FALSE) {
    return {};
  }
  std::string der(reinterpret_cast<const char*>(encoded), size);
  LocalFree(encoded);
  return der;
}

}  // namespace

SignatureCheck Win32Crypto::VerifySignature(const std::string& path, FileHandle file,
                                            RevocationCheck revocation) {
  const std::wstring widePath = Utf8ToWideText(path).value_or(std::wstring());
  WINTRUST_FILE_INFO fileInfo{};
  fileInfo.cbStruct = sizeof fileInfo;
  fileInfo.pcwszFilePath = widePath.c_str();
  // The file is read through the handle the caller holds, so what is checked is what the caller opened.
  fileInfo.hFile = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(file));
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks =
      revocation == RevocationCheck::wholeChain ? WTD_REVOKE_WHOLECHAIN : WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = revocation == RevocationCheck::wholeChain ? WTD_REVOCATION_CHECK_CHAIN : 0;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  SignatureCheck check;
  check.status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  if (check.status == 0) {
    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signer =
        provider != nullptr ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    if (signer != nullptr) {
      for (DWORD i = 0; i < signer->csCertChain; ++i) {
        check.chainKeys.push_back(EncodedKeyInfo(signer->pasCertChain[i].pCert));
      }
    }
  }
  // The state the verification kept is released.
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return check;
}
