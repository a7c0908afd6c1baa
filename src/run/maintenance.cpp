#include "run/maintenance.h"

#include <tuple>

#include "core/leading_number.h"
#include "core/port_guards.h"
#include "plan/setup_plan.h"
#include "product/setup_state.h"
#include "run/run_driver.h"
#include "steps/toolkit/product_registration.h"
#include "steps/undo/product_removal.h"

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
constexpr char kNoClientBuild[] = "Client build not recorded: the client is not repaired";
constexpr char kNoServerDirectory[] = "Server directory not recorded: the server is not repaired";
// A repair runs over what the component's registration recorded, or not at all: a component that was
// never installed is not installed by a repair, and a server is not rebuilt on a port or an edition that
// were never chosen.
constexpr char kClientNotInstalled[] = "Client not installed: the client is not repaired";
constexpr char kServerNotInstalled[] = "Server not installed: the server is not repaired";
constexpr char kNoServerEdition[] = "Server edition not recorded: the server is not repaired";
constexpr char kNoServerPort[] = "Server port not recorded: the server is not repaired";
constexpr char kCouldNotRepair[] = "Could not repair ";
constexpr std::int32_t kHighestPort = 65535;
constexpr char kNotAllRemoved[] =
    "Could not remove every change: what is left stays in the install record for the next uninstall. Please "
    "see the setup log";

// How the repair of a component ended: not asked for, refused before it changed anything, or run through
// or not.
enum class RepairEnd { notAsked, repaired, refused, failed };

// A REG_SZ value of the key, when it is there and fits in 255 bytes; `text` is left as it was otherwise.
void ReadString(RunContext& run, RegistryKey root, const char* subKey, const char* name, std::string& text) {
  Registry& registry = run.machine.registry;
  UniqueKey key(registry);
  if (registry.OpenKey(root, subKey, Registry::kRead, key.Receive()) != Registry::kSuccess) {
    return;
  }
  RegistryValue value;
  const bool read = registry.QueryValue(key.get(), name, value) == Registry::kSuccess;
  key.Close();
  if (!read || value.type != Registry::kTypeString || value.data.size() > kInstallPathBytes) {
    return;
  }
  text = value.data.substr(0, value.data.find('\0'));
}

// The key's "InstallPath".
void ReadInstallPath(RunContext& run, RegistryKey root, const char* subKey, std::string& directory) {
  ReadString(run, root, subKey, kInstallPath, directory);
}

// The client update again, for the build the product key records.
RepairEnd RepairClient(SetupState& state, SetupComponents& steps) {
  if (!ProductRegistered(state, ProductComponent::client)) {
    WriteLog(state, LogTag::client, kClientNotInstalled);
    return RepairEnd::refused;
  }
  std::string build;
  ReadString(state, RegistryKey::currentUser, kClientProductKey, kClientBuildValue, build);
  state.choices.bitSize = BuildNamed(build);
  if (state.choices.bitSize == BitSize::none || state.choices.clientDirectory.empty()) {
    WriteLog(state, LogTag::client, kNoClientBuild);
    return RepairEnd::refused;
  }
  state.record.scope = RecordScope::client;
  const std::vector<PlannedPackage> packages = PlanClientPackages(state.choices.bitSize);
  state.record.AddPlan(RecordScope::client, PackageNames(packages));
  const bool updated = steps.client.UpdateClient(packages);
  return updated && !state.failed.client ? RepairEnd::repaired : RepairEnd::failed;
}

// The server update again, over the server directory, edition and port that the registration recorded.
// Without a server directory only the update folder is prepared, as a repair always has.
RepairEnd RepairServer(SetupState& state, SetupComponents& steps) {
  if (!ProductRegistered(state, ProductComponent::server)) {
    WriteLog(state, LogTag::server, kServerNotInstalled);
    return RepairEnd::refused;
  }
  SetupChoices& choices = state.choices;
  std::string directory;
  ReadInstallPath(state, RegistryKey::localMachine, kServerProductKey, directory);
  if (choices.serverDirectory.empty()) {
    choices.serverDirectory = directory;
  }
  if (choices.serverDirectory.empty()) {
    steps.server.PrepareServerRepair();
    WriteLog(state, LogTag::server, kNoServerDirectory);
    return RepairEnd::refused;
  }
  std::string edition;
  std::string port;
  ReadString(state, RegistryKey::localMachine, kServerProductKey, kEditionValue, edition);
  ReadString(state, RegistryKey::localMachine, kServerProductKey, kPortValue, port);
  choices.edition = EditionNamed(edition);
  choices.port = LeadingNumber(std::string_view(port));
  if (choices.edition == Edition::none) {
    WriteLog(state, LogTag::server, kNoServerEdition);
    return RepairEnd::refused;
  }
  if (choices.port <= 0 || choices.port > kHighestPort) {
    WriteLog(state, LogTag::server, kNoServerPort);
    return RepairEnd::refused;
  }
  state.record.scope = RecordScope::server;
  const std::vector<PlannedPackage> packages =
      PlanServerPackages(choices, state.installSqlExpress, state.nativeClientMissing, state.steps);
  state.record.AddPlan(RecordScope::server, PackageNames(packages));
  const bool updated = steps.server.UpdateServer(packages);
  state.heldPackages.clear();
  return updated && !state.failed.server ? RepairEnd::repaired : RepairEnd::failed;
}

}  // namespace

RunEnd RunMaintenance(SetupState& state, SetupComponents& steps, const MaintenanceChoice& choice) {
  if (choice.action == MaintenanceChoice::Action::repair) {
    state.runMode = RunMode::repair;
  } else if (choice.action == MaintenanceChoice::Action::uninstall) {
    state.runMode = RunMode::uninstall;
  }
  state.choices.setupType = SetupTypeOf(choice.client, choice.server);
  SettleCutOffRun(state);
  if (choice.server) {
    ReadInstallPath(state, RegistryKey::localMachine, kServerInstallKey, state.choices.serverDirectory);
    WriteLog(state, LogTag::server, kServerDirectory, state.choices.serverDirectory);
  }
  if (choice.client) {
    ReadInstallPath(state, RegistryKey::currentUser, kClientInstallKey, state.choices.clientDirectory);
    WriteLog(state, LogTag::client, kClientDirectory, state.choices.clientDirectory);
  }
  if (!HasAny(state.runMode, RunMode::repair)) {
    bool left = false;
    if (choice.client || choice.server) {
      ProductRemoval removal(state);
      removal.Remove(choice.client, choice.server);
      left = removal.LeftSome();
    }
    std::vector<ComponentEvent> events;
    for (const auto& [chosen, name] :
         {std::pair{choice.server, kServerDisplayName}, std::pair{choice.client, kClientDisplayName}}) {
      if (chosen) {
        events.push_back({left ? ComponentEnd::left : ComponentEnd::removed, name});
      }
    }
    return {0, kUninstalled, kUninstallCompleted, left ? std::string(kNotAllRemoved) : std::string(), events};
  }
  state.record.BeginRun(kRepairMode, choice.client, choice.server);
  const RepairEnd server = choice.server ? RepairServer(state, steps) : RepairEnd::notAsked;
  const RepairEnd client = choice.client ? RepairClient(state, steps) : RepairEnd::notAsked;
  // A component whose repair went through is committed; one that failed part-way is taken back to what
  // was installed before the run, newest change first.
  std::vector<const char*> failed;
  std::vector<ComponentEvent> events;
  bool takenBack = false;
  bool allTakenBack = true;
  for (auto [component, end, name] : {std::tuple{RecordScope::server, server, kServerDisplayName},
                                      std::tuple{RecordScope::client, client, kClientDisplayName}}) {
    if (end == RepairEnd::notAsked) {
      continue;
    }
    // A component taken back when not every change could be is one left for the next run.
    ComponentEnd failedEnd = ComponentEnd::takenBack;
    if (end == RepairEnd::failed) {
      if (!ProductRemoval(state).TakeBack(component)) {
        allTakenBack = false;
        failedEnd = ComponentEnd::left;
      }
      takenBack = true;
    } else if (end == RepairEnd::repaired && !state.record.Commit(component)) {
      // A repair whose commit cannot be written is settled by the next run, as if cut off.
      end = RepairEnd::failed;
    }
    if (end != RepairEnd::repaired) {
      failed.push_back(name);
    }
    events.push_back({end == RepairEnd::repaired ? ComponentEnd::repaired : failedEnd, name});
  }
  return {0, kRepaired, kRepairCompleted,
          ShortfallLine(kCouldNotRepair, failed,
                        !takenBack ? TakenBack::none : (allTakenBack ? TakenBack::all : TakenBack::notAll)),
          events};
}
