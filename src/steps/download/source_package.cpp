#include "steps/download/source_package.h"

#include <vector>

#include "core/file_reading.h"
#include "core/path_text.h"
#include "core/port_guards.h"
#include "product/setup_state.h"
#include "steps/download/package_download.h"
#include "steps/download/package_texts.h"

namespace {

constexpr char kNotListed[] = " has no SHA-256 digest in ";
constexpr char kRefused[] = ": it is not used";
constexpr char kUnreadable[] = " could not be read from ";
constexpr std::size_t kDigestHexChars = 64;
constexpr std::uint32_t kMaxListBytes = 1U << 20U;

// Copies the file piece by piece and takes its digest on the way; nullopt when a piece cannot be read or
// written.
std::optional<Sha256Hash::Digest> CopyAndHash(SetupState& state, const std::string& from,
                                              const std::string& to, std::vector<char>& buffer) {
  Files& files = state.machine.files;
  const std::unique_ptr<Sha256Hash> hash = state.machine.crypto.CreateSha256();
  const UniqueFile target(files, files.Create(to, Files::kGenericWrite, Files::kShareRead,
                                              Files::kCreateAlways, Files::kAttributeNormal));
  if (!hash || !target.IsOpen()) {
    return std::nullopt;
  }
  const bool copied = ReadFilePieces(files, from, buffer, [&](std::string_view piece) {
    return hash->Add(piece.data(), static_cast<std::uint32_t>(piece.size())) &&
           files.WritePart(target.get(), piece.data(), static_cast<std::uint32_t>(piece.size())) ==
               piece.size();
  });
  return copied ? hash->Finish() : std::nullopt;
}

}  // namespace

std::optional<Sha256Hash::Digest> ListedDigest(SetupState& state, const std::string& listPath,
                                               const std::string& name) {
  const std::optional<std::string> list = ReadWholeFile(state.machine.files, listPath, kMaxListBytes);
  if (!list) {
    return std::nullopt;
  }
  std::size_t start = 0;
  while (start < list->size()) {
    std::size_t end = list->find('\n', start);
    end = end == std::string::npos ? list->size() : end;
    std::string_view line = std::string_view(*list).substr(start, end - start);
    start = end + 1;
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    // "HEX  NAME", or "HEX *NAME" for a digest of the bytes as they are.
    if (line.size() <= kDigestHexChars + 2 || line[kDigestHexChars] != ' ' ||
        (line[kDigestHexChars + 1] != ' ' && line[kDigestHexChars + 1] != '*') ||
        !SameName(line.substr(kDigestHexChars + 2), name)) {
      continue;
    }
    return DigestOfText(line);
  }
  return std::nullopt;
}

bool CopySourcePackage(SetupState& state, const PackageDownload& download, bool& processed) {
  Files& files = state.machine.files;
  processed = false;
  const std::string& source = state.packageSource;
  BeginPackageLines(state, download, source);
  const std::string sourceFolder = JoinPath(source, kLayoutPackageFolder);
  const std::string sourcePath = JoinPath(sourceFolder, download.fileName);
  const std::string localPath = JoinPath(download.localDirectory, download.fileName);
  if (!files.StampOf(sourcePath)) {
    ReportMissingPackage(state, download);
    return true;
  }
  const std::optional<Sha256Hash::Digest> listed =
      ListedDigest(state, JoinPath(sourceFolder, kLayoutDigestList), download.fileName);
  if (!listed) {
    WriteLog(state, download.tag,
             download.fileName + kNotListed + JoinPath(sourceFolder, kLayoutDigestList) + kRefused);
    MarkComponentFailed(state);
    return true;
  }
  std::vector<char> buffer(kDownloadReadSize);
  for (int attempt = 0; attempt < kDownloadAttempts; ++attempt) {
    // The copy is the run's from its first byte.
    if (!files.StampOf(localPath)) {
      state.record.AddNewFile(localPath);
    }
    const std::optional<Sha256Hash::Digest> copied = CopyAndHash(state, sourcePath, localPath, buffer);
    if (copied != listed) {
      // A package that is not what the layout lists, or that could not be read whole (a share gone), is
      // neither run nor extracted.
      WriteLog(state, download.tag,
               kBrokenOff + download.fileName + (copied ? kDigestMismatch : kUnreadable + sourceFolder));
      files.Remove(localPath);
      continue;
    }
    state.record.AddFile(localPath);
    if (download.processing.run().ok()) {
      processed = true;
      break;
    }
  }
  EndPackageLines(state, download, processed, source);
  return true;
}
