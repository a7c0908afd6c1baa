#include "run/maintenance.h"

#include "core/port_guards.h"
#include "core/setup_state.h"

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

// The REG_SZ "InstallPath" of the key, when it is there and fits its 255 bytes; `directory` is left as
// it was otherwise.
void ReadInstallPath(SetupState& state, RegistryKey root, const char* subKey, std::string& directory) {
  Registry& registry = state.machine.registry;
  UniqueKey key(registry);
  if (registry.OpenKey(root, subKey, Registry::kRead, key.Receive()) != Registry::kSuccess) {
    return;
  }
  RegistryValue value;
  const bool read = registry.QueryValue(key.get(), kInstallPath, value) == Registry::kSuccess;
  key.Close();
  if (!read || value.type != Registry::kTypeString || value.data.size() > kInstallPathBytes) {
    return;
  }
  directory = value.data.substr(0, value.data.find('\0'));
}

}  // namespace

RunEnd RunMaintenance(SetupState& state, SetupComponents& steps, const MaintenanceChoice& choice) {
  if (choice.action == MaintenanceChoice::Action::repair) {
    state.runMode = RunMode::repair;
  } else if (choice.action == MaintenanceChoice::Action::uninstall) {
    state.runMode = RunMode::uninstall;
  }
  state.choices.setupType = SetupTypeOf(choice.client, choice.server);
  if (choice.server) {
    ReadInstallPath(state, RegistryKey::localMachine, kServerInstallKey, state.choices.serverDirectory);
    WriteLog(state, LogTag::server, kServerDirectory, state.choices.serverDirectory);
  }
  if (choice.client) {
    ReadInstallPath(state, RegistryKey::currentUser, kClientInstallKey, state.choices.clientDirectory);
    WriteLog(state, LogTag::client, kClientDirectory, state.choices.clientDirectory);
  }
  if (!HasAny(state.runMode, RunMode::repair)) {
    return {0, kUninstalled, kUninstallCompleted, {}};
  }
  if (choice.server) {
    steps.server.PrepareServerRepair();
  }
  return {0, kRepaired, kRepairCompleted, {}};
}
