#include "steps/toolkit/runtime_check.h"

#include <array>
#include <cstring>

#include "core/port_guards.h"
#include "product/run_context.h"

namespace {

constexpr char kChecking[] = "Checking for Pre-requisite";
constexpr char kRuntime2015Key[] = "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
constexpr char kRuntime2013Key64[] = "SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64";
constexpr char kRuntime2013Key32[] =
    "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X86";
// The version text is read into 64 UTF-16 units, its NUL included.
constexpr std::size_t kVersionTextChars = 63;
constexpr std::uint32_t kMinimumMajor = 14;
constexpr std::uint32_t kMinimumMinor = 20;

// A value read into a zeroed 4-byte buffer, whatever its type; nullopt when it does not fit or is missing.
std::optional<std::uint32_t> ReadFourBytes(Registry& registry, RegistryKey key, const char* name,
                                           std::uint32_t* type = nullptr) {
  RegistryValue value;
  if (registry.QueryValue(key, name, value) != Registry::kSuccess || value.data.size() > 4) {
    return std::nullopt;
  }
  std::array<unsigned char, 4> bytes{};
  std::memcpy(bytes.data(), value.data.data(), value.data.size());
  if (type != nullptr) {
    *type = value.type;
  }
  std::uint32_t number = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) {
    number = (number << 8U) | bytes[i];
  }
  return number;
}

std::optional<RuntimeVersion> ReadVersion(Registry& registry, RegistryKey key) {
  RegistryValue text;
  if (registry.QueryValue(key, "Version", text) == Registry::kSuccess &&
      (text.type == Registry::kTypeString || text.type == Registry::kTypeExpandString)) {
    const std::string_view value(text.data.c_str());
    if (value.size() <= kVersionTextChars) {
      return ParseRuntimeVersion(value);
    }
  }
  // No text (or one too long for its buffer): the four numbers, all or nothing.
  std::array<std::uint32_t, 4> parts{};
  const std::array<const char*, 4> names = {"Major", "Minor", "Bld", "Rev"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::optional<std::uint32_t> part = ReadFourBytes(registry, key, names[i]);
    if (!part) {
      return std::nullopt;
    }
    parts[i] = *part;
  }
  return RuntimeVersion{parts[0], parts[1], parts[2], parts[3]};
}

// 2013: either the 64-bit or the 32-bit runtime counts as present.
bool Runtime2013Present(Registry& registry) {
  for (const char* path : {kRuntime2013Key64, kRuntime2013Key32}) {
    UniqueKey key(registry);
    if (registry.OpenKey(RegistryKey::localMachine, path, Registry::kRead, key.Receive()) !=
        Registry::kSuccess) {
      continue;
    }
    const std::optional<std::uint32_t> installed = ReadFourBytes(registry, key.get(), "Installed");
    key.Close();
    if (installed == 1U) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<RuntimeVersion> ParseRuntimeVersion(std::string_view text) {
  if (text.empty()) {
    return std::nullopt;
  }
  text.remove_prefix(1);
  std::array<std::uint32_t, 4> groups{};
  std::size_t group = 0;
  bool digits = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      groups[group] = groups[group] * 10U + static_cast<std::uint32_t>(c - '0');
      digits = true;
    } else if (c == '.' && digits && group + 1 < groups.size()) {
      ++group;
      digits = false;
    } else {
      return std::nullopt;
    }
  }
  if (!digits || group + 1 != groups.size()) {
    return std::nullopt;
  }
  return RuntimeVersion{groups[0], groups[1], groups[2], groups[3]};
}

bool ReadRuntimeVersion(RunContext& run, std::int32_t* installed, RuntimeVersion* version) {
  if (installed != nullptr) {
    *installed = 0;
  }
  if (version != nullptr) {
    *version = RuntimeVersion{};
  }
  Registry& registry = run.machine.registry;
  bool opened = false;
  // The 2015-and-later redistributables register in the 32-bit view on 64-bit Windows: the 64-bit view is
  // read first, the 32-bit view after it.
  for (const std::uint32_t view : {Registry::kView64, Registry::kView32}) {
    UniqueKey key(registry);
    if (registry.OpenKey(RegistryKey::localMachine, kRuntime2015Key, Registry::kRead | view, key.Receive()) !=
        Registry::kSuccess) {
      continue;
    }
    opened = true;
    std::uint32_t type = 0;
    const std::optional<std::uint32_t> flag = ReadFourBytes(registry, key.get(), "Installed", &type);
    if (flag != 1U || type != Registry::kTypeDword) {
      continue;
    }
    if (installed != nullptr) {
      *installed = 1;
    }
    if (version != nullptr) {
      *version = ReadVersion(registry, key.get()).value_or(RuntimeVersion{});
    }
    break;
  }
  return opened;
}

bool CheckRuntimePrerequisite(RunContext& run, RuntimeKind kind) {
  if (kind == RuntimeKind::vc2015) {
    WriteLog(run, LogTag::client, kChecking);
  }
  return RuntimeMissing(run, kind);
}

bool RuntimeMissing(RunContext& run, RuntimeKind kind) {
  if (kind == RuntimeKind::vc2015) {
    std::int32_t installed = 0;
    RuntimeVersion version;
    ReadRuntimeVersion(run, &installed, &version);
    if (installed == 0) {
      return true;
    }
    if (version.major != kMinimumMajor) {
      return version.major < kMinimumMajor;
    }
    return version.minor < kMinimumMinor;
  }
  return !Runtime2013Present(run.machine.registry);
}

bool PackageNeeded(RunContext& run, const PlannedPackage& package) {
  return package.use != PlannedPackage::Use::runtime || CheckRuntimePrerequisite(run, package.runtime);
}
