#include "packages/product_registration.h"

#include <array>
#include <utility>

#include "app/setup_context.h"

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
constexpr std::uint32_t kComponentClient = 0x200;
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
void WriteProductChain(SetupContext& context, RegistryKey root, const std::string& key,
                       const std::string& installPath, const std::string& version,
                       const std::string& displayName) {
  if (!WriteRegistryString(context, root, key, kInstallPath, installPath) ||
      !WriteRegistryString(context, root, key, kVersion, version)) {
    return;
  }
  Registry& registry = context.machine.registry;
  RegistryKey open = RegistryKey::none;
  if (registry.CreateKey(root, key, Registry::kWrite, open) != Registry::kSuccess) {
    return;
  }
  registry.SetValue(open, kDisplayName, StringValue(displayName));
  registry.CloseKey(open);
}

}  // namespace

bool WriteRegistryString(SetupContext& context, RegistryKey root, const std::string& subKey,
                         const std::string& valueName, const std::string& data) {
  Registry& registry = context.machine.registry;
  RegistryKey key = RegistryKey::none;
  if (registry.CreateKey(root, subKey, Registry::kWrite, key) != Registry::kSuccess) {
    return false;
  }
  registry.SetValue(key, valueName, StringValue(data));
  registry.CloseKey(key);
  return true;
}

bool RegisterProduct(SetupContext& context, std::uint32_t component) {
  const bool client = (component & kComponentClient) != 0;
  const bool aiClient = (context.options & kOptionAiClient) != 0;
  const char* displayName = kServerName;
  if (client) {
    displayName = aiClient ? kAiClientName : kClientName;
    WriteProductChain(context, RegistryKey::currentUser, kClientProductKey, context.clientDirectory,
                      aiClient ? kAiVersion : kProductVersion, kClientDisplayName);
  }
  const std::string& installLocation = client ? context.clientDirectory : context.serverDirectory;
  const char* type = client ? kClientType : kServerType;
  const std::string keyPath =
      (std::string(kUninstallRoot) + (client ? kClientEntry : kServerEntry)).substr(0, kKeyPathWidth - 1);

  Registry& registry = context.machine.registry;
  RegistryKey entry = RegistryKey::none;
  if (registry.CreateKey(RegistryKey::localMachine, keyPath, Registry::kWrite | Registry::kView32, entry) !=
      Registry::kSuccess) {
    context.machine.dialogs.ShowMessageBox(WindowHandle::none, kRegistryError, kErrorCaption,
                                           DialogView::kIconError | DialogView::kOk);
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
    registry.SetValue(entry, name, StringValue(data));
  }
  registry.CloseKey(entry);
  WriteProductChain(context, RegistryKey::localMachine, kServerProductKey, context.serverDirectory,
                    kProductVersion, kServerDisplayName);
  return true;
}
