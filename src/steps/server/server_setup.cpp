#include "steps/server/server_setup.h"

#include "core/path_text.h"
#include "product/setup_state.h"
#include "steps/actions/installer_run.h"
#include "steps/download/download_status_store.h"
#include "steps/toolkit/cabinet_extraction.h"
#include "steps/toolkit/directory_helpers.h"
#include "steps/toolkit/protected_folder.h"

namespace {

constexpr char kDownloading[] = "Downloading ";
constexpr char kDownloaded[] = "Downloaded ";
constexpr char kExtracting[] = "Extracting";
constexpr char kDownloadingServer[] = "Downloading Server Setup";
constexpr char kBeginning[] = "Updating Server Setup Begin";
constexpr char kUpdateFolder[] = "Update";
constexpr char kCabinetFolder[] = "cab";

}  // namespace

PackageDownload ServerSetup::ServerPackageDownload(const std::string& fileName, PackagePlace place,
                                                   PackageBits bits) {
  // A server package that is neither an installer nor a cabinet has nothing that could process it.
  Processing processing{"process", [&fileName] { return ActionResult::Failed(fileName, 0); }};
  if (HasAny(bits,
             PackageBits::sqlNativeClient | PackageBits::runtime2013 | PackageBits::informationServer)) {
    processing = {"install",
                  [this, &fileName] { return RunServerInstaller(state_, updateDirectory, fileName); }};
  } else if (place == PackagePlace::updateFolder) {
    processing = {"extract", [this, &fileName] {
                    WriteLog(state_, LogTag::server, kExtracting, fileName);
                    return ExtractCabinet(state_, fileName, updateDirectory, updateDirectory);
                  }};
  } else if (fileName.find(kCabinetMark) != std::string::npos) {
    processing = {"extract", [this, &fileName] {
                    return ExtractCabinet(state_, fileName, cabDirectory, updateDirectory);
                  }};
  }
  const std::string& localDirectory = place == PackagePlace::updateFolder ? updateDirectory : cabDirectory;
  // The server's cabinets are unpacked into its folder, and SQL Server's setup started, after every package
  // is in: each stays held as it was checked until then.
  return {LogTag::server, fileName, localDirectory,        kDownloading,
          kDownloaded,    true,     std::move(processing), true};
}

bool ServerSetup::DownloadServerPackage(const std::string& fileName, PackagePlace place, PackageBits bits) {
  bool processed = false;
  if (!DownloadPackage(state_, ServerPackageDownload(fileName, place, bits), processed)) {
    return false;
  }
  if (processed) {
    downloadStatus_.RecordPackage(bits);
  }
  return true;
}

bool ServerSetup::BeginServerUpdate() {
  std::string& serverDirectory = state_.choices.serverDirectory;
  serverDirectory = WithTrailingBackslash(serverDirectory);
  updateDirectory = serverDirectory + kUpdateFolder;
  state_.reporter.ShowStatus(kDownloadingServer);
  WriteLog(state_, LogTag::server, kBeginning);
  // The server's folder holds the module the website's pool loads, and what runs elevated: only
  // administrators may change it or anything in it.
  const FolderProtection protection = ServerFolderProtection();
  if (!RefuseReparsePoint(state_, LogTag::server, updateDirectory).ok()) {
    return false;
  }
  if (!EnterOrCreateDirectory(state_.machine, updateDirectory, &state_.record, &protection)) {
    WriteLog(state_, LogTag::server, kNoUpdateDirectory);
    return false;
  }
  if (!SecureFolder(state_, LogTag::server, serverDirectory, FolderReaders::usersAndWebsite).ok()) {
    return false;
  }
  cabDirectory = serverDirectory + kCabinetFolder;
  return true;
}

FolderProtection ServerSetup::ServerFolderProtection() const {
  return {state_.choices.serverDirectory, ProtectedFolderDacl(FolderReaders::usersAndWebsite)};
}

void ServerSetup::PrepareServerRepair() {
  BeginServerUpdate();
}
