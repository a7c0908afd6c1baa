#include "steps/download/publisher_check.h"

#include <algorithm>
#include <cctype>

#include "core/hex_text.h"
#include "product/download_context.h"

namespace {

constexpr char kRefused[] = "Refused ";
constexpr char kUnsigned[] = ": unsigned";
constexpr char kInvalid[] = ": signature invalid (";
constexpr char kNotPinned[] = ": publisher not pinned";
constexpr char kRevocationUnknown[] =
    "Could not check whether a certificate of the signature was revoked (the revocation servers cannot be "
    "reached); checked without it: ";
constexpr char kVerifyCall[] = "WinVerifyTrust";
constexpr char kCabinetMark[] = "cab";
constexpr char kProgramSuffix[] = ".exe";
constexpr char kInstallerSuffix[] = ".msi";
constexpr std::int32_t kNoSignature = static_cast<std::int32_t>(0x800B0100);  // TRUST_E_NOSIGNATURE
constexpr std::int32_t kSubjectUnknown =
    static_cast<std::int32_t>(0x800B0003);  // TRUST_E_SUBJECT_FORM_UNKNOWN
constexpr std::int32_t kRevocationOffline =
    static_cast<std::int32_t>(0x800B010E);                                        // CERT_E_REVOCATION_FAILURE
constexpr std::int32_t kNotPinnedStatus = static_cast<std::int32_t>(0x800B0109);  // CERT_E_UNTRUSTEDROOT

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Whether a key of the chain is pinned.
bool ChainPinned(DownloadContext& run, const std::vector<std::string>& chainKeys) {
  return std::any_of(chainKeys.begin(), chainKeys.end(), [&run](const std::string& key) {
    const std::unique_ptr<Sha256Hash> hash = run.machine.crypto.CreateSha256();
    if (!hash || !hash->Add(key.data(), static_cast<std::uint32_t>(key.size()))) {
      return false;
    }
    const std::optional<Sha256Hash::Digest> digest = hash->Finish();
    return digest &&
           std::find(run.publisherPins.begin(), run.publisherPins.end(), *digest) != run.publisherPins.end();
  });
}

ActionResult Refuse(DownloadContext& run, LogTag tag, const std::string& line, std::int32_t status) {
  WriteLog(run, tag, line);
  MarkComponentFailed(run);
  return ActionResult::Failed(kVerifyCall, static_cast<std::uint32_t>(status), line);
}

}  // namespace

bool IsCabinetPackage(const std::string& fileName) {
  return Lower(fileName).find(kCabinetMark) != std::string::npos;
}

bool RunsPackage(const std::string& fileName) {
  const std::string name = Lower(fileName);
  return IsCabinetPackage(fileName) || name.ends_with(kProgramSuffix) || name.ends_with(kInstallerSuffix);
}

ActionResult CheckPublisher(DownloadContext& run, LogTag tag, const std::string& fileName,
                            const std::string& path, FileHandle held) {
  Crypto& crypto = run.machine.crypto;
  SignatureCheck check = crypto.VerifySignature(path, held, RevocationCheck::wholeChain);
  if (check.status == kRevocationOffline) {
    // An offline server (installed from a layout) cannot ask; the pinned publisher still decides.
    WriteLog(run, tag, kRevocationUnknown + fileName);
    check = crypto.VerifySignature(path, held, RevocationCheck::none);
  }
  if (check.status == kNoSignature || check.status == kSubjectUnknown) {
    return Refuse(run, tag, kRefused + fileName + kUnsigned, check.status);
  }
  if (check.status != 0) {
    return Refuse(
        run, tag,
        kRefused + fileName + kInvalid + StatusCodeText(static_cast<std::uint32_t>(check.status)) + ")",
        check.status);
  }
  if (run.publisherPins.empty()) {
    if (!run.unpinnedNoted) {
      run.unpinnedNoted = true;
      WriteLog(run, tag, std::string(kPublisherCheckName) + ": " + kPublisherNotPinned);
    }
    return ActionResult::Done();
  }
  if (!ChainPinned(run, check.chainKeys)) {
    return Refuse(run, tag, kRefused + fileName + kNotPinned, kNotPinnedStatus);
  }
  return ActionResult::Done();
}
