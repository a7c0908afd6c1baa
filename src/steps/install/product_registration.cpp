#include "steps/install/product_registration.h"

#include <array>
#include <utility>

#include "core/port_guards.h"
#include "core/setup_state.h"

namespace {

constexpr char kUninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kClientEntry[] = "NembricClient";
constexpr char kServerEntry[] = "NembricServer";
constexpr char kAiClientName[] = "NembricAI";
constexpr char kClientName[] = "Nembric10App";
constexpr char kServerName[] = "Halvorn NembricAI";
constexpr char kClientType[] = "client";
constexpr char kServerType[] = "server";
constexpr char kAiVersion[] = "AI";
constexpr char kProductVersion[] = "10.1";
constexpr char kPublisher[] = "Halvorn Ltd.";
constexpr char kClientDisplayName[] = "Nembric Client";
constexpr char kServerDisplayName[] = "Halvorn NembricAI Server";
constexpr char kInstallPath[] = "InstallPath";
constexpr char kVersion[] = "Version";
constexpr char kDisplayName[] = "DisplayName";
constexpr char kRegistryError[] = "Cannot write to registry. Need admin rights?";
constexpr char kErrorCaption[] = "Error";
// The widths the key path and the commands are composed in, terminating NUL included.
constexpr std::size_t kKeyPathWidth = 256;
constexpr std::size_t kCommandWidth = 260;

RegistryValue StringValue(const std::string& text) {
  RegistryValue value{Registry::kTypeString, text};
  value.data += '\0';
  return value;
}

// "\"program\" /switch /type=word", kept to its width.
std::string Command(const char* action, const char* type) {
  std::string command = std::string("\"") + kInstalledSetupProgram + "\" /" + action + " /type=" + type;
  return command.substr(0, kCommandWidth - 1);
}

// InstallPath, then Version, then DisplayName: each only when the one before was written.
void WriteProductChain(SetupState& state, RegistryKey root, const std::string& key,
                       const std::string& installPath, const std::string& version,
                       const std::string& displayName) {
  if (WriteRegistryString(state, root, key, kInstallPath, installPath) &&
      WriteRegistryString(state, root, key, kVersion, version)) {
    WriteRegistryString(state, root, key, kDisplayName, displayName);
  }
}

}  // namespace

bool WriteRegistryString(SetupState& state, RegistryKey root, const std::string& subKey,
                         const std::string& valueName, const std::string& data) {
  Registry& registry = state.machine.registry;
  UniqueKey key(registry);
  if (registry.CreateKey(root, subKey, Registry::kWrite, key.Receive()) != Registry::kSuccess) {
    return false;
  }
  registry.SetValue(key.get(), valueName, StringValue(data));
  return true;
}

bool RegisterProduct(SetupState& state, ProductComponent component) {
  const SetupChoices& choices = state.choices;
  const bool client = component == ProductComponent::client;
  const bool aiClient = choices.bitSize == BitSize::aiClient;
  const char* displayName = kServerName;
  if (client) {
    displayName = aiClient ? kAiClientName : kClientName;
    WriteProductChain(state, RegistryKey::currentUser, kClientProductKey, choices.clientDirectory,
                      aiClient ? kAiVersion : kProductVersion, kClientDisplayName);
  }
  const std::string& installLocation = client ? choices.clientDirectory : choices.serverDirectory;
  const char* type = client ? kClientType : kServerType;
  const std::string keyPath =
      (std::string(kUninstallRoot) + (client ? kClientEntry : kServerEntry)).substr(0, kKeyPathWidth - 1);

  Registry& registry = state.machine.registry;
  UniqueKey entry(registry);
  if (registry.CreateKey(RegistryKey::localMachine, keyPath, Registry::kWrite | Registry::kView32,
                         entry.Receive()) != Registry::kSuccess) {
    state.reporter.ShowMessage(kRegistryError, kErrorCaption, DialogView::kIconError | DialogView::kOk);
    return false;
  }
  const std::array<std::pair<const char*, std::string>, 8> values = {{
      {"DisplayName", displayName},
      {"UninstallString", Command("uninstall", type)},
      {"ModifyPath", Command("modify", type)},
      {"RepairPath", Command("repair", type)},
      {"InstallLocation", installLocation},
      {"DisplayVersion", kProductVersion},
      {"Publisher", kPublisher},
      {"DisplayIcon", kInstalledSetupProgram},
  }};
  for (const auto& [name, data] : values) {
    registry.SetValue(entry.get(), name, StringValue(data));
  }
  entry.Close();
  WriteProductChain(state, RegistryKey::localMachine, kServerProductKey, choices.serverDirectory,
                    kProductVersion, kServerDisplayName);
  return true;
}
