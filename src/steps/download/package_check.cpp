#include "steps/download/package_check.h"

#include "core/file_reading.h"
#include "product/download_context.h"
#include "steps/download/package_download.h"
#include "steps/download/publisher_check.h"

namespace {

// The SHA-256 of what the open file holds, read from its start; nullopt when it cannot be read or hashed.
std::optional<Sha256Hash::Digest> HeldDigest(DownloadContext& run, FileHandle file, std::span<char> buffer) {
  Files& files = run.machine.files;
  const std::unique_ptr<Sha256Hash> hash = run.machine.crypto.CreateSha256();
  if (!hash || files.Seek(file, 0, Files::kFileBegin) != 0U ||
      !ReadOpenFilePieces(files, file, buffer, [&hash](std::string_view piece) {
        return hash->Add(piece.data(), static_cast<std::uint32_t>(piece.size()));
      })) {
    return std::nullopt;
  }
  return hash->Finish();
}

}  // namespace

PackageCheck CheckPackage(DownloadContext& run, const PackageDownload& download, const std::string& path,
                          const std::optional<Sha256Hash::Digest>& expected, std::span<char> buffer,
                          UniqueFile& held) {
  Files& files = run.machine.files;
  held = UniqueFile(files, files.Create(path, Files::kGenericRead, Files::kShareRead, Files::kOpenExisting,
                                        Files::kAttributeNormal));
  if (!held.IsOpen()) {
    return PackageCheck::unreadable;
  }
  if (expected) {
    const std::optional<Sha256Hash::Digest> digest = HeldDigest(run, held.get(), buffer);
    if (!digest) {
      return PackageCheck::unreadable;
    }
    if (*digest != *expected) {
      return PackageCheck::notAsListed;
    }
  }
  if (!download.laidOut && RunsPackage(download.fileName) &&
      !CheckPublisher(run, download.tag, download.fileName, path, held.get()).ok()) {
    return PackageCheck::refused;
  }
  return PackageCheck::passed;
}
