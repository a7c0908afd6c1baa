#include "packages/maintenance.h"

#include "app/path_text.h"
#include "app/run_driver.h"
#include "app/setup_context.h"
#include "app/setup_log.h"
#include "packages/directory_helpers.h"
#include "resources/resource.h"

namespace {

// Where a maintenance run finds the install folders. The server's is read from the Nembric10 key.
constexpr char kServerInstallKey[] = "SOFTWARE\\Halvorn\\Nembric10\\Server";
constexpr char kClientInstallKey[] = "Software\\Halvorn\\Nembric10\\Client";
constexpr char kInstallPath[] = "InstallPath";
constexpr std::size_t kInstallPathBytes = 255;

constexpr char kServerDirectory[] = "Server Directory";
constexpr char kClientDirectory[] = "Client Directory";
constexpr char kUninstalled[] = "Successfully uninstalled Software";
constexpr char kUninstallCompleted[] = "Successfuly completed Setup for Uninstall";
constexpr char kRepaired[] = "Successfully repaired Software";
constexpr char kRepairCompleted[] = "Successfuly completed Setup for Repair";
constexpr char kDownloadingServer[] = "Downloading Server Setup";
constexpr char kRepairBegin[] = "Updating Server Setup Begin";

// The REG_SZ "InstallPath" of the key, when it is there and fits its 255 bytes; `directory` is left as
// it was otherwise.
void ReadInstallPath(SetupContext& context, RegistryKey root, const char* subKey, std::string& directory) {
  Registry& registry = context.machine.registry;
  RegistryKey key = RegistryKey::none;
  if (registry.OpenKey(root, subKey, Registry::kRead, key) != Registry::kSuccess) {
    return;
  }
  RegistryValue value;
  const bool read = registry.QueryValue(key, kInstallPath, value) == Registry::kSuccess;
  registry.CloseKey(key);
  if (!read || value.type != Registry::kTypeString || value.data.size() > kInstallPathBytes) {
    return;
  }
  directory = value.data.substr(0, value.data.find('\0'));
}

}  // namespace

void ApplyMaintenanceChoice(SetupContext& context) {
  DialogView& view = context.machine.dialogs;
  const WindowHandle dialog = context.dialogWindow;
  context.options = 0;
  if (view.IsChecked(dialog, IDC_REPAIR)) {
    context.runMode = kRunRepair;
  } else if (view.IsChecked(dialog, IDC_UNINSTALL)) {
    context.runMode = kRunUninstall;
  }
  if (view.IsChecked(dialog, IDC_APPLY_SERVER)) {
    context.options |= kOptionServer;
    ReadInstallPath(context, RegistryKey::localMachine, kServerInstallKey, context.serverDirectory);
    WriteLog(context, kLogServer, kServerDirectory, context.serverDirectory);
  }
  if (view.IsChecked(dialog, IDC_APPLY_CLIENT)) {
    context.options |= kOptionClient;
    ReadInstallPath(context, RegistryKey::currentUser, kClientInstallKey, context.clientDirectory);
    WriteLog(context, kLogClient, kClientDirectory, context.clientDirectory);
  }
  if ((context.runMode & kRunRepair) != 0) {
    RepairProduct(context);
    return;
  }
  FinishRun(context, kUninstalled, kUninstallCompleted);
}

void RepairProduct(SetupContext& context) {
  if ((context.options & kOptionServer) != 0) {
    context.serverSetup->PrepareServerRepair();
  }
  FinishRun(context, kRepaired, kRepairCompleted);
}

bool ServerSetup::PrepareServerRepair() {
  SetupContext& context = owner;
  context.serverDirectory = WithTrailingBackslash(context.serverDirectory);
  updateDirectory = context.serverDirectory + "Update";
  context.machine.dialogs.SetControlText(context.dialogWindow, IDC_STATUS_LINE, kDownloadingServer);
  WriteLog(context, kLogServer, kRepairBegin);
  if (!EnterOrCreateDirectory(context.machine, updateDirectory)) {
    WriteLog(context, kLogServer, kNoUpdateDirectory);
    return true;
  }
  cabDirectory = context.serverDirectory + "cab";
  return true;
}
