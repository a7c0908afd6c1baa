#include <array>

#include "app/path_text.h"
#include "app/setup_context.h"
#include "app/setup_log.h"
#include "packages/client_setup.h"
#include "packages/directory_helpers.h"
#include "prereq/runtime_check.h"

namespace {

constexpr char kBeginning[] = "Beging Updating Client Setup";
constexpr char kUpdated[] = "Updated Client Software";
constexpr char kUpdateFolder[] = "Update";

// The packages of one client build: the runtime it needs and its cabinet.
struct ClientPackages {
  SetupOptions bitSize;
  RuntimeKind runtimeKind;
  const char* runtime;
  PackageBits runtimeBits;
  const char* cabinet;
  PackageBits cabinetBits;
};

// In the order the bit sizes are tested.
constexpr std::array<ClientPackages, 3> kClientPackages = {{
    {kOption32Bit, kRuntime2013, "vcredist_x32.exe", kPackageRuntime2013, "Nembric10AppSetup32.cab", 0x80},
    {kOption64Bit, kRuntime2013, "vcredist_x64.exe", kPackageRuntime2013, "Nembric10AppSetup.cab", 0x40},
    {kOptionAiClient, kRuntime2015, "VC_redist.x64.exe", kPackageRuntime2015, "NembricAIAppSetup.cab", 0x100},
}};

}  // namespace

bool ClientSetup::UpdateClient() {
  SetupContext& context = owner;
  WriteLog(context, kLogClient, kBeginning);
  context.clientDirectory = WithTrailingBackslash(context.clientDirectory);
  updateDirectory = context.clientDirectory + kUpdateFolder;
  if (!EnterOrCreateDirectory(context.machine, updateDirectory)) {
    WriteLog(context, kLogClient, kNoUpdateDirectory);
    return true;
  }
  for (const ClientPackages& packages : kClientPackages) {
    if ((context.options & packages.bitSize) == 0) {
      continue;
    }
    if (CheckRuntimePrerequisite(context, packages.runtimeKind)) {
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
  AdvanceProgress(context, context.stepClientPackage + context.stepClientRuntime);
  WriteLog(context, kLogClient, kUpdated);
  return true;
}
