#include <array>

#include "core/path_text.h"
#include "product/setup_state.h"
#include "steps/download/download_status_store.h"
#include "steps/server/server_setup.h"
#include "steps/toolkit/cabinet_extraction.h"
#include "steps/toolkit/directory_helpers.h"
#include "steps/toolkit/runtime_check.h"

namespace {

constexpr char kCabinetsReady[] = "Downloaded and extracted required cabs ";
constexpr char kUpdated[] = "Updated Server Software";
constexpr char kRuntime[] = "vcredist_x64.exe";
constexpr char kSqlExpress[] = "SQLEXPR_x64_ENU.exe";
constexpr char kInformationServerInstaller[] = "NembricISSetup.msi";
constexpr char kNativeClientInstaller[] = "sqlncli.msi";
constexpr char kBoxCabinet[] = "HNbx.cab";
// The information server's port: its installer comes with the server.
constexpr std::int32_t kInformationServerPort = 1465;
// The server file search is run this many times; all must find the server for the update to be a repair.
constexpr int kSearchRuns = 3;

// The server cabinets that are unpacked into the server directory, and which editions get them.
struct ServerCabinet {
  const char* name;
  PackageBits bits;
  bool enterpriseOnly;
};

constexpr std::array<ServerCabinet, 5> kServerCabinets = {{
    {"HNembricAI1.cab", PackageBits{0x1}, false},
    {"HNembricAI2.cab", PackageBits{0x2}, false},
    {"HNembricAI3.cab", PackageBits{0x4}, false},
    {"HNembricAI4.cab", PackageBits{0x8}, true},
    {"HNembricAI5.cab", PackageBits{0x10}, true},
}};

// The three client builds, kept with the server in its cabinet folder.
constexpr std::array<std::pair<const char*, PackageBits>, 3> kClientCabinets = {{
    {"Nembric10App.cab", PackageBits{0x200}},
    {"Nembric10App32.cab", PackageBits{0x100}},
    {"NembricAiApp.cab", PackageBits{0x400}},
}};

}  // namespace

bool ServerSetup::UpdateServer() {
  const RunMode runMode = state_.runMode;
  bool found = true;
  for (int run = 0; run < kSearchRuns; ++run) {
    found = SearchServerFiles(state_.choices.serverDirectory) && found;
  }
  if (found) {
    state_.runMode = RunMode::repair;
  }
  if (!BeginServerUpdate()) {
    // Nothing of the server was installed: the run does not register it.
    return false;
  }
  Machine& machine = state_.machine;
  const std::string& serverDirectory = state_.choices.serverDirectory;
  EnterOrCreateDirectory(machine, cabDirectory, &state_.record);

  const SetupChoices& choices = state_.choices;
  const bool enterprise = choices.edition == Edition::enterprise;
  // The client update of a 64-bit client has already seen to this runtime.
  const bool clientSeesToRuntime = ChoosesClient(choices.setupType) && choices.bitSize == BitSize::x64;
  if (!clientSeesToRuntime && CheckRuntimePrerequisite(state_, RuntimeKind::vc2013)) {
    installerName = kRuntime;
    if (!DownloadServerPackage(kRuntime, PackagePlace::updateFolder, PackageBits::runtime2013)) {
      return false;
    }
  }
  for (const ServerCabinet& cabinet : kServerCabinets) {
    if ((enterprise || !cabinet.enterpriseOnly) &&
        !DownloadServerPackage(cabinet.name, PackagePlace::updateFolder, cabinet.bits)) {
      return false;
    }
  }
  for (const auto& [name, bits] : kClientCabinets) {
    if (!DownloadServerPackage(name, PackagePlace::cabinetFolder, bits)) {
      return false;
    }
  }
  if (!DownloadServerPackage(kBoxCabinet, PackagePlace::updateFolder, PackageBits{0x40})) {
    return false;
  }
  AdvanceProgress(state_, state_.steps.serverDownload);
  if (state_.installSqlExpress) {
    if (!DownloadServerPackage(kSqlExpress, PackagePlace::updateFolder, PackageBits{0x80})) {
      return false;
    }
    AdvanceProgress(state_, state_.steps.sqlDownload);
  }
  if (choices.port == kInformationServerPort) {
    installerName = kInformationServerInstaller;
    if (!DownloadServerPackage(kInformationServerInstaller, PackagePlace::updateFolder,
                               PackageBits::informationServer)) {
      return false;
    }
  }
  if (state_.nativeClientMissing) {
    installerName = kNativeClientInstaller;
    if (!DownloadServerPackage(kNativeClientInstaller, PackagePlace::updateFolder,
                               PackageBits::sqlNativeClient)) {
      return false;
    }
  }

  // The website's worker process holds the modules loaded: its pool stops while they are replaced. A
  // module it still holds is written beside and put in place when Windows restarts.
  const std::string pool = SiteNameFor(choices.port);
  const bool poolStopped = website.StopAppPool(pool);
  DeleteDllFiles(machine, serverDirectory, &state_.record);
  for (const ServerCabinet& cabinet : kServerCabinets) {
    if ((enterprise || !cabinet.enterpriseOnly) &&
        !ExtractCabinet(state_, cabinet.name, updateDirectory, serverDirectory,
                        InUseTargets::replaceAtRestart)) {
      MarkComponentFailed(state_);
    }
  }
  // Over an installed server (a repair) the box keeps its files.
  if (HasAny(state_.runMode, RunMode::install) &&
      !ExtractCabinet(state_, kBoxCabinet, updateDirectory, serverDirectory,
                      InUseTargets::replaceAtRestart)) {
    MarkComponentFailed(state_);
  }
  if (poolStopped) {
    website.StartAppPool(pool);
  }
  // A server whose files are not all in place is taken back at the end of the run: its website, whose
  // old configuration no record keeps, is left as it is.
  if (state_.failed.server) {
    return false;
  }
  state_.reporter.ShowStatus(kCabinetsReady);
  DeleteDllFiles(machine, updateDirectory);
  downloadStatus_.WriteDownloadStatus("0");
  AdvanceProgress(state_, state_.steps.serverExtract);

  EnableIisFeatures();
  InstallWebsite();
  state_.runMode = runMode;
  WriteLog(state_, LogTag::server, kUpdated);
  return true;
}
