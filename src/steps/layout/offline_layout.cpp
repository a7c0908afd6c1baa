#include "steps/layout/offline_layout.h"

#include <array>
#include <cstdio>
#include <optional>

#include "core/file_reading.h"
#include "core/hex_text.h"
#include "core/path_text.h"
#include "core/port_guards.h"
#include "product/download_context.h"
#include "steps/download/package_download.h"
#include "steps/download/source_package.h"
#include "steps/toolkit/directory_helpers.h"

namespace {

constexpr char kBuilding[] = "Building the layout in ";
constexpr char kNoFolder[] = "Could not create the layout folder ";
constexpr char kNoDigest[] = " has no published SHA-256 digest: it is not put in the layout";
constexpr char kNotFetched[] = " could not be fetched and verified: it is not in the layout";
constexpr char kKept[] = " is in the layout already";
constexpr char kFetched[] = " fetched: ";
constexpr char kNoList[] = "Could not write ";
constexpr char kNoCopy[] = "Could not copy the setup program into ";
constexpr char kComplete[] = "The layout is complete: ";
constexpr char kIncomplete[] = "The layout is not complete: ";
constexpr char kPackagesOf[] = " of ";
constexpr char kPackages[] = " packages";
constexpr char kDownloading[] = "Downloading";
constexpr char kDownloaded[] = "Downloaded";
constexpr char kVerify[] = "verify";
constexpr char kDigestCall[] = "SHA-256";
constexpr char kSetupName[] = "NembricSetup.exe";
constexpr double kBytesPerMiB = 1024.0 * 1024.0;
constexpr double kMillisecondsPerSecond = 1000.0;

// A line on the console and in the log.
void Say(DownloadContext& run, const std::string& line) {
  WriteOutput(run, line + "\n");
  WriteLog(run, LogTag::layout, line);
}

std::string DigestText(const Sha256Hash::Digest& digest) {
  return HexText(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()), true);
}

// "NAME fetched: BYTES bytes in S.SS s, R.R MiB/s".
std::string FetchedLine(const std::string& name, std::uint64_t bytes, std::uint64_t milliseconds) {
  const double seconds = static_cast<double>(milliseconds) / kMillisecondsPerSecond;
  const double rate = seconds > 0 ? static_cast<double>(bytes) / kBytesPerMiB / seconds : 0;
  std::array<char, 64> figures{};
  std::snprintf(figures.data(), figures.size(), " bytes in %.2f s, %.1f MiB/s", seconds, rate);
  return name + kFetched + std::to_string(bytes) + figures.data();
}

// One package into the layout's package folder; its digest when it is there whole and verified.
std::optional<Sha256Hash::Digest> LayPackage(DownloadContext& run, const std::string& name,
                                             const std::string& packageFolder) {
  Files& files = run.machine.files;
  const std::string path = JoinPath(packageFolder, name);
  const std::optional<Sha256Hash::Digest> published = PublishedPackageDigest(run, name);
  if (!published) {
    files.Remove(path);
    Say(run, name + kNoDigest);
    return std::nullopt;
  }
  if (files.StampOf(path) && FileSha256(run, path) == published) {
    Say(run, name + kKept);
    return published;
  }
  const std::uint64_t start = run.machine.runtime.Milliseconds();
  bool processed = false;
  Processing verify{kVerify, [&run, &path, &published] {
                      return FileSha256(run, path) == published ? ActionResult::Done()
                                                                : ActionResult::Failed(kDigestCall, 0);
                    }};
  DownloadPackage(
      run,
      {LogTag::layout, name, packageFolder, kDownloading, kDownloaded, true, std::move(verify), false, true},
      processed);
  const std::optional<Files::Stamp> stamp = files.StampOf(path);
  if (!processed || !stamp) {
    // What a failed download left is no package a later run could use.
    files.Remove(path);
    Say(run, name + kNotFetched);
    return std::nullopt;
  }
  Say(run, FetchedLine(name, stamp->size, run.machine.runtime.Milliseconds() - start));
  return published;
}

}  // namespace

bool BuildOfflineLayout(DownloadContext& run, const std::vector<std::string>& packages,
                        const std::string& folder, const std::string& setupProgram) {
  Machine& machine = run.machine;
  const std::string packageFolder = JoinPath(folder, kLayoutPackageFolder);
  Say(run, kBuilding + folder);
  if (!CreateDirectoryChain(machine, packageFolder)) {
    Say(run, kNoFolder + packageFolder);
    return false;
  }
  std::string list;
  std::size_t laid = 0;
  for (const std::string& name : packages) {
    if (const std::optional<Sha256Hash::Digest> digest = LayPackage(run, name, packageFolder)) {
      list += DigestText(*digest) + "  " + name + "\n";
      ++laid;
    }
  }
  bool complete = laid == packages.size();
  const std::string listPath = JoinPath(packageFolder, kLayoutDigestList);
  if (!WriteWholeFile(machine.files, listPath, list)) {
    Say(run, kNoList + listPath);
    complete = false;
  }
  std::uint32_t error = 0;
  const std::string setupCopy = JoinPath(folder, kSetupName);
  if (!SameName(setupProgram, setupCopy) && !machine.files.CopyTo(setupProgram, setupCopy, error)) {
    Say(run, kNoCopy + folder);
    complete = false;
  }
  Say(run, (complete ? kComplete : kIncomplete) + std::to_string(laid) + kPackagesOf +
               std::to_string(packages.size()) + kPackages);
  return complete;
}
