#include <array>

#include "core/path_text.h"
#include "product/setup_state.h"
#include "steps/client/client_setup.h"
#include "steps/toolkit/cabinet_extraction.h"
#include "steps/toolkit/directory_helpers.h"
#include "steps/toolkit/installers.h"
#include "steps/toolkit/runtime_check.h"

namespace {

constexpr char kBeginning[] = "Beging Updating Client Setup";
constexpr char kUpdated[] = "Updated Client Software";
constexpr char kUpdateFolder[] = "Update";
constexpr char kDownloading[] = "Downloading";
constexpr char kDownloaded[] = "Downloaded";

// The packages of one client build: the runtime it needs and its cabinet.
struct ClientPackages {
  BitSize bitSize;
  RuntimeKind runtimeKind;
  const char* runtime;
  PackageBits runtimeBits;
  const char* cabinet;
  PackageBits cabinetBits;
};

constexpr std::array<ClientPackages, 3> kClientPackages = {{
    {BitSize::x32, RuntimeKind::vc2013, "vcredist_x32.exe", PackageBits::runtime2013,
     "Nembric10AppSetup32.cab", PackageBits{0x80}},
    {BitSize::x64, RuntimeKind::vc2013, "vcredist_x64.exe", PackageBits::runtime2013, "Nembric10AppSetup.cab",
     PackageBits{0x40}},
    {BitSize::aiClient, RuntimeKind::vc2015, "VC_redist.x64.exe", PackageBits::runtime2015,
     "NembricAIAppSetup.cab", PackageBits{0x100}},
}};

}  // namespace

bool ClientSetup::DownloadClientPackage(const std::string& fileName, PackageBits bits) {
  Processing processing{"process", [] { return true; }};
  if (HasAny(bits, PackageBits::runtime2015 | PackageBits::runtime2013)) {
    processing = {"install",
                  [this] { return RunClientRuntimeInstaller(state_, updateDirectory, installerName); }};
  } else if (fileName.find(kCabinetMark) != std::string::npos) {
    processing = {"extract", [this, &fileName] {
                    return CopyCabinet(state_, fileName, WithTrailingBackslash(updateDirectory),
                                       WithTrailingBackslash(state_.choices.clientDirectory));
                  }};
  }
  bool processed = false;
  return DownloadPackage(
      state_,
      {LogTag::client, fileName, updateDirectory, kDownloading, kDownloaded, false, std::move(processing)},
      processed);
}

bool ClientSetup::UpdateClient() {
  WriteLog(state_, LogTag::client, kBeginning);
  std::string& clientDirectory = state_.choices.clientDirectory;
  clientDirectory = WithTrailingBackslash(clientDirectory);
  updateDirectory = clientDirectory + kUpdateFolder;
  if (!EnterOrCreateDirectory(state_.machine, updateDirectory, &state_.record)) {
    WriteLog(state_, LogTag::client, kNoUpdateDirectory);
    return true;
  }
  for (const ClientPackages& packages : kClientPackages) {
    if (state_.choices.bitSize != packages.bitSize) {
      continue;
    }
    if (CheckRuntimePrerequisite(state_, packages.runtimeKind)) {
      installerName = packages.runtime;
      if (!DownloadClientPackage(packages.runtime, packages.runtimeBits)) {
        return false;
      }
    }
    if (!DownloadClientPackage(packages.cabinet, packages.cabinetBits)) {
      return false;
    }
    break;
  }
  AdvanceProgress(state_, state_.steps.clientPackage + state_.steps.clientRuntime);
  WriteLog(state_, LogTag::client, kUpdated);
  return true;
}
