#include "steps/toolkit/product_registration.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/port_guards.h"
#include "core/utf8_text.h"
#include "product/run_context.h"
#include "steps/actions/key_made.h"
#include "steps/actions/value_set.h"
#include "steps/toolkit/directory_helpers.h"

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
constexpr char kInstallPath[] = "InstallPath";
constexpr char kVersion[] = "Version";
constexpr char kDisplayName[] = "DisplayName";
constexpr char kQuietUninstall[] = "QuietUninstallString";
constexpr char kQuietSwitch[] = " /quiet";
constexpr char kEstimatedSize[] = "EstimatedSize";
constexpr char kInstallDate[] = "InstallDate";
constexpr std::uint64_t kBytesPerKiB = 1024;
constexpr char kRegistryError[] = "Cannot write to registry. Need admin rights?";
constexpr char kCreateKeyCall[] = "RegCreateKeyEx";
constexpr char kErrorCaption[] = "Error";
// The widths the key path and the commands are composed in, terminating NUL included.
constexpr std::size_t kKeyPathWidth = 256;
constexpr std::size_t kCommandWidth = 260;

RegistryValue DwordValue(std::uint64_t number) {
  std::string data;
  for (int byte = 0; byte < 4; ++byte) {
    data += static_cast<char>((number >> (8U * static_cast<unsigned>(byte))) & 0xFFU);
  }
  return {Registry::kTypeDword, data};
}

RegistryValue StringValue(const std::string& text) {
  RegistryValue value{Registry::kTypeString, text};
  value.data += '\0';
  return value;
}

// The uninstall entry's key, composed within its width.
std::string EntryKeyPath(ProductComponent component) {
  const char* entry = component == ProductComponent::client ? kClientEntry : kServerEntry;
  return std::string(CutUtf8(std::string(kUninstallRoot) + entry, kKeyPathWidth - 1));
}

// "\"program\" /switch /type=word", kept to its width.
std::string Command(const char* action, const char* type) {
  std::string command = std::string("\"") + kInstalledSetupProgram + "\" /" + action + " /type=" + type;
  return std::string(CutUtf8(command, kCommandWidth - 1));
}

// InstallPath, then Version, then DisplayName: each only when the one before was written.
ActionResult WriteProductChain(RunContext& run, RegistryKey root, const std::string& key,
                               const std::string& installPath, const std::string& version,
                               const std::string& displayName) {
  ActionResult written = WriteRegistryString(run, root, key, kInstallPath, installPath);
  if (written) {
    written = WriteRegistryString(run, root, key, kVersion, version);
  }
  if (written) {
    written = WriteRegistryString(run, root, key, kDisplayName, displayName);
  }
  return written;
}

}  // namespace

namespace {

constexpr std::array<std::pair<BitSize, const char*>, 3> kBuilds = {{
    {BitSize::x64, "x64"},
    {BitSize::x32, "x32"},
    {BitSize::aiClient, "AI"},
}};
constexpr std::array<std::pair<Edition, const char*>, 4> kEditions = {{
    {Edition::essential, "Essential"},
    {Edition::team, "Team"},
    {Edition::enterprise, "Enterprise"},
    {Edition::express, "Express"},
}};

template <typename Value, std::size_t count>
std::string NameIn(const std::array<std::pair<Value, const char*>, count>& table, Value value) {
  const auto found =
      std::find_if(table.begin(), table.end(), [value](const auto& row) { return row.first == value; });
  return found == table.end() ? std::string() : found->second;
}

template <typename Value, std::size_t count>
Value ValueIn(const std::array<std::pair<Value, const char*>, count>& table, const std::string& name) {
  const auto found =
      std::find_if(table.begin(), table.end(), [&name](const auto& row) { return name == row.second; });
  return found == table.end() ? Value::none : found->first;
}

}  // namespace

std::string BuildName(BitSize bitSize) {
  return NameIn(kBuilds, bitSize);
}
BitSize BuildNamed(const std::string& name) {
  return ValueIn(kBuilds, name);
}
std::string EditionName(Edition edition) {
  return NameIn(kEditions, edition);
}
Edition EditionNamed(const std::string& name) {
  return ValueIn(kEditions, name);
}

ActionResult WriteRegistryString(RunContext& run, RegistryKey root, const std::string& subKey,
                                 const std::string& valueName, const std::string& data) {
  UniqueKey key(run.machine.registry);
  if (ActionResult created = MakeKey(run, root, 0, subKey, Registry::kWrite, key); !created) {
    return created;
  }
  return SetKeptValue(run, key, root, 0, subKey, valueName, StringValue(data));
}

ActionResult RegisterProduct(RunContext& run, ProductComponent component, const SetupChoices& choices) {
  const bool client = component == ProductComponent::client;
  const bool aiClient = choices.bitSize == BitSize::aiClient;
  const char* displayName = kServerName;
  if (client) {
    displayName = aiClient ? kAiClientName : kClientName;
    if (ActionResult written =
            WriteProductChain(run, RegistryKey::currentUser, kClientProductKey, choices.clientDirectory,
                              aiClient ? kAiVersion : kProductVersion, kClientDisplayName);
        NotRecorded(written)) {
      return written;
    }
    if (ActionResult written = WriteRegistryString(run, RegistryKey::currentUser, kClientProductKey,
                                                   kClientBuildValue, BuildName(choices.bitSize));
        NotRecorded(written)) {
      return written;
    }
  }
  const std::string& installLocation = client ? choices.clientDirectory : choices.serverDirectory;
  const char* type = client ? kClientType : kServerType;
  const std::string keyPath = EntryKeyPath(component);

  UniqueKey entry(run.machine.registry);
  if (ActionResult created =
          MakeKey(run, RegistryKey::localMachine, Registry::kView32, keyPath, Registry::kWrite, entry);
      !created) {
    if (NotRecorded(created)) {
      return created;
    }
    run.reporter.ShowMessage(kRegistryError, kErrorCaption, DialogView::kIconError | DialogView::kOk);
    return ActionResult::Failed(kCreateKeyCall, created.code, kRegistryError);
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
  // The first value that cannot be recorded ends the registration, unset: the component fails. A value
  // Windows refuses is passed over, as it always was.
  ActionResult result = ActionResult::Done();
  const auto set = [&](const char* name, const RegistryValue& value) {
    if (result) {
      if (ActionResult written =
              SetKeptValue(run, entry, RegistryKey::localMachine, Registry::kView32, keyPath, name, value);
          NotRecorded(written)) {
        result = written;
      }
    }
  };
  for (const auto& [name, data] : values) {
    set(name, StringValue(data));
  }
  // For software distribution: the uninstall without a window, the size on disk and the day of the install.
  set(kQuietUninstall, StringValue(Command("uninstall", type) + kQuietSwitch));
  const std::uint64_t kibibytes =
      (FolderBytes(run.machine, installLocation) + kBytesPerKiB - 1) / kBytesPerKiB;
  set(kEstimatedSize, DwordValue(std::min<std::uint64_t>(kibibytes, UINT32_MAX)));
  set(kInstallDate, StringValue(run.machine.runtime.LocalDate()));
  entry.Close();
  if (!result) {
    return result;
  }
  if (ActionResult written = WriteProductChain(run, RegistryKey::localMachine, kServerProductKey,
                                               choices.serverDirectory, kProductVersion, kServerDisplayName);
      NotRecorded(written)) {
    return written;
  }
  if (!client) {
    if (ActionResult written = WriteRegistryString(run, RegistryKey::localMachine, kServerProductKey,
                                                   kEditionValue, EditionName(choices.edition));
        NotRecorded(written)) {
      return written;
    }
    if (ActionResult written = WriteRegistryString(run, RegistryKey::localMachine, kServerProductKey,
                                                   kPortValue, std::to_string(choices.port));
        NotRecorded(written)) {
      return written;
    }
  }
  return ActionResult::Done();
}

bool ProductRegistered(RunContext& run, ProductComponent component) {
  const std::string keyPath = EntryKeyPath(component);
  UniqueKey entry(run.machine.registry);
  return run.machine.registry.OpenKey(RegistryKey::localMachine, keyPath, Registry::kRead | Registry::kView32,
                                      entry.Receive()) == Registry::kSuccess;
}

std::optional<std::string> RegisteredOn(RunContext& run, ProductComponent component) {
  Registry& registry = run.machine.registry;
  UniqueKey entry(registry);
  if (registry.OpenKey(RegistryKey::localMachine, EntryKeyPath(component),
                       Registry::kRead | Registry::kView32, entry.Receive()) != Registry::kSuccess) {
    return std::nullopt;
  }
  RegistryValue value;
  if (registry.QueryValue(entry.get(), kInstallDate, value) != Registry::kSuccess ||
      value.type != Registry::kTypeString) {
    return std::nullopt;
  }
  // YYYYMMDD, as the entry keeps it for Windows' list of programs.
  std::string date = value.data.substr(0, value.data.find('\0'));
  if (date.size() != 8 ||
      !std::all_of(date.begin(), date.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return date.substr(0, 4) + "-" + date.substr(4, 2) + "-" + date.substr(6, 2);
}
