#include "core/path_text.h"
#include "product/setup_state.h"
#include "steps/actions/installer_run.h"
#include "steps/client/client_setup.h"
#include "steps/download/fetch_ahead.h"
#include "steps/toolkit/cabinet_extraction.h"
#include "steps/toolkit/directory_helpers.h"
#include "steps/toolkit/protected_folder.h"
#include "steps/toolkit/runtime_check.h"

namespace {

constexpr char kBeginning[] = "Beging Updating Client Setup";
constexpr char kUpdated[] = "Updated Client Software";
constexpr char kUpdateFolder[] = "Update";
constexpr char kDownloading[] = "Downloading";
constexpr char kDownloaded[] = "Downloaded";

}  // namespace

PackageDownload ClientSetup::ClientPackageDownload(const std::string& fileName, PackageBits bits) {
  Processing processing{"process", [] { return ActionResult::Done(); }};
  if (HasAny(bits, PackageBits::runtime2015 | PackageBits::runtime2013)) {
    processing = {"install",
                  [this, &fileName] { return RunClientRuntimeInstaller(state_, updateDirectory, fileName); }};
  } else if (fileName.find(kCabinetMark) != std::string::npos) {
    processing = {"extract", [this, &fileName] {
                    return CopyCabinet(state_, fileName, WithTrailingBackslash(updateDirectory),
                                       WithTrailingBackslash(state_.choices.clientDirectory));
                  }};
  }
  return {LogTag::client, fileName, updateDirectory, kDownloading, kDownloaded, false, std::move(processing)};
}

bool ClientSetup::DownloadClientPackage(const std::string& fileName, PackageBits bits) {
  bool processed = false;
  return DownloadPackage(state_, ClientPackageDownload(fileName, bits), processed);
}

bool ClientSetup::UpdateClient(const std::vector<PlannedPackage>& packages) {
  WriteLog(state_, LogTag::client, kBeginning);
  std::string& clientDirectory = state_.choices.clientDirectory;
  clientDirectory = WithTrailingBackslash(clientDirectory);
  updateDirectory = clientDirectory + kUpdateFolder;
  // What runs elevated comes from the update folder: only administrators may change it. The client folder
  // keeps the rights it has.
  const FolderProtection protection{updateDirectory, ProtectedFolderDacl(FolderReaders::users)};
  if (!RefuseReparsePoint(state_, LogTag::client, updateDirectory).ok()) {
    return true;
  }
  if (!EnterOrCreateDirectory(state_.machine, updateDirectory, &state_.record, &protection)) {
    WriteLog(state_, LogTag::client, kNoUpdateDirectory);
    return true;
  }
  if (!SecureFolder(state_, LogTag::client, updateDirectory, FolderReaders::users).ok()) {
    return true;
  }
  // The cabinet comes in while the runtime installs; a runtime is fetched at its turn, once its check
  // has found it missing.
  std::vector<PackageDownload> ahead;
  for (const PlannedPackage& package : packages) {
    if (package.use != PlannedPackage::Use::runtime) {
      ahead.push_back(ClientPackageDownload(package.name, package.bits));
    }
  }
  FetchAhead fetchAhead(state_, std::move(ahead));
  const FetchAheadLent lent(state_, fetchAhead);
  for (const PlannedPackage& package : packages) {
    if (!PackageNeeded(state_, package)) {
      continue;
    }
    if (!DownloadClientPackage(package.name, package.bits)) {
      return false;
    }
  }
  // The client's whole progress shows once its packages are in (or when its build has none).
  AdvanceProgress(state_, state_.steps.clientPackage + state_.steps.clientRuntime);
  WriteLog(state_, LogTag::client, kUpdated);
  return true;
}
