#include "steps/download/source_package.h"

#include <vector>

#include "core/file_reading.h"
#include "core/path_text.h"
#include "core/port_guards.h"
#include "product/download_context.h"
#include "steps/actions/package_fetched.h"
#include "steps/download/package_check.h"
#include "steps/download/package_download.h"
#include "steps/download/package_texts.h"

namespace {

constexpr char kNotListed[] = " has no SHA-256 digest in ";
constexpr char kRefused[] = ": it is not used";
constexpr char kUnreadable[] = " could not be read from ";
constexpr std::size_t kDigestHexChars = 64;
constexpr std::uint32_t kMaxListBytes = 1U << 20U;

// Copies the file piece by piece, no one else writing the copy meanwhile; false when a piece cannot be read
// or written.
bool CopyPieces(DownloadContext& run, const std::string& from, const std::string& to,
                std::vector<char>& buffer) {
  Files& files = run.machine.files;
  UniqueFile target(files, files.Create(to, Files::kGenericWrite, Files::kShareRead, Files::kCreateAlways,
                                        Files::kAttributeNormal));
  if (!target.IsOpen()) {
    return false;
  }
  const bool copied = ReadFilePieces(files, from, buffer, [&](std::string_view piece) {
    return files.WritePart(target.get(), piece.data(), static_cast<std::uint32_t>(piece.size())) ==
           piece.size();
  });
  return target.Close() && copied;
}

}  // namespace

std::optional<Sha256Hash::Digest> ListedDigest(DownloadContext& run, const std::string& listPath,
                                               const std::string& name) {
  const std::optional<std::string> list = ReadWholeFile(run.machine.files, listPath, kMaxListBytes);
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

bool CopySourcePackage(DownloadContext& run, const PackageDownload& download, bool& processed) {
  Files& files = run.machine.files;
  processed = false;
  const std::string& source = run.packageSource;
  BeginPackageLines(run, download, source);
  const std::string sourceFolder = JoinPath(source, kLayoutPackageFolder);
  const std::string sourcePath = JoinPath(sourceFolder, download.fileName);
  const std::string localPath = JoinPath(download.localDirectory, download.fileName);
  if (!files.StampOf(sourcePath)) {
    ReportMissingPackage(run, download);
    return true;
  }
  const std::optional<Sha256Hash::Digest> listed =
      ListedDigest(run, JoinPath(sourceFolder, kLayoutDigestList), download.fileName);
  if (!listed) {
    WriteLog(run, download.tag,
             download.fileName + kNotListed + JoinPath(sourceFolder, kLayoutDigestList) + kRefused);
    MarkComponentFailed(run);
    return true;
  }
  std::vector<char> buffer(kDownloadReadSize);
  for (int attempt = 0; attempt < kDownloadAttempts; ++attempt) {
    // The copy is the run's from its first byte.
    if (const ActionResult recordedAhead = BeforeFetching(run.record, localPath); !recordedAhead) {
      WriteLog(run, download.tag, recordedAhead.line);
      MarkComponentFailed(run);
      return true;
    }
    // The copy is checked as it is on disk, held open sharing read only until it has run.
    UniqueFile held(files);
    const bool copied = CopyPieces(run, sourcePath, localPath, buffer);
    const PackageCheck check =
        copied ? CheckPackage(run, download, localPath, listed, buffer, held) : PackageCheck::unreadable;
    if (check == PackageCheck::refused) {
      held.Close();
      files.Remove(localPath);
      return true;
    }
    if (check != PackageCheck::passed) {
      // A package that is not what the layout lists, or that could not be read whole (a share gone), is
      // neither run nor extracted.
      WriteLog(run, download.tag,
               kBrokenOff + download.fileName +
                   (check == PackageCheck::notAsListed ? kDigestMismatch : kUnreadable + sourceFolder));
      held.Close();
      files.Remove(localPath);
      continue;
    }
    PackageFetched(run.record, localPath);
    if (download.processing.run().ok()) {
      processed = true;
      if (download.holdUntilRun) {
        run.heldPackages.push_back(std::move(held));
      }
      break;
    }
  }
  EndPackageLines(run, download, processed, source);
  return true;
}
