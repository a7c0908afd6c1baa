#include "fake_registry.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "core/utf8_text.h"

namespace {

constexpr char kSoftware[] = "hklm\\software\\";
constexpr char kRedirected[] = "hklm\\software\\wow6432node\\";

std::string RootName(RegistryKey root) {
  switch (root) {
    case RegistryKey::localMachine:
      return "hklm";
    case RegistryKey::currentUser:
      return "hkcu";
    case RegistryKey::classesRoot:
      return "hkcr";
    default:
      return {};
  }
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.rfind(start, 0) == 0;
}

}  // namespace

std::string FakeRegistry::Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::optional<std::string> FakeRegistry::Resolve(RegistryKey parent, const std::string& subKey,
                                                 std::uint32_t access) const {
  std::string base = RootName(parent);
  if (base.empty()) {
    const auto found = open_.find(parent);
    if (found == open_.end()) {
      return std::nullopt;
    }
    base = found->second.path;
    // A key opened in the 32-bit view keeps its view for the keys below it: its path already shows it.
  }
  std::string path = subKey.empty() ? base : base + "\\" + Lower(subKey);
  if ((access & kView32) != 0 && StartsWith(path, kSoftware) && !StartsWith(path + "\\", kRedirected)) {
    path = std::string(kRedirected) + path.substr(std::string(kSoftware).size());
  }
  return path;
}

bool FakeRegistry::Denied(const std::string& path) const {
  return std::any_of(deniedPaths.begin(), deniedPaths.end(), [&](const std::string& denied) {
    const std::string lower = Lower(denied);
    return path == lower || StartsWith(path, lower + "\\");
  });
}

RegistryKey FakeRegistry::Open(const std::string& path, std::uint32_t access) {
  const auto key = static_cast<RegistryKey>(nextKey_++);
  open_[key] = OpenKeyState{path, access};
  return key;
}

std::int32_t FakeRegistry::OpenKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                                   RegistryKey& key) {
  const std::optional<std::string> path = Resolve(parent, subKey, access);
  if (!path) {
    return 6;  // ERROR_INVALID_HANDLE
  }
  if (Denied(*path)) {
    return kAccessDenied;
  }
  if (keys_.count(*path) == 0) {
    return kFileNotFound;
  }
  key = Open(*path, access);
  return kSuccess;
}

std::int32_t FakeRegistry::CreateKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                                     RegistryKey& key) {
  const std::optional<std::string> path = Resolve(parent, subKey, access);
  if (!path) {
    return 6;
  }
  if (!Utf8ToUtf16(subKey)) {
    return kNoUnicodeTranslation;  // the wide call is never made with a name that is no UTF-8
  }
  if (Denied(*path)) {
    return kAccessDenied;
  }
  // Missing parents are made too.
  for (std::size_t at = path->find('\\'); at != std::string::npos; at = path->find('\\', at + 1)) {
    keys_[path->substr(0, at)];
  }
  keys_[*path];
  key = Open(*path, access);
  Changed();
  return kSuccess;
}

std::int32_t FakeRegistry::QueryValue(RegistryKey key, const std::string& name, RegistryValue& value) {
  const auto found = open_.find(key);
  if (found == open_.end()) {
    return 6;
  }
  const Key& entry = keys_[found->second.path];
  const auto item = entry.values.find(Lower(name));
  if (item == entry.values.end()) {
    return kFileNotFound;
  }
  value = item->second;
  return kSuccess;
}

std::int32_t FakeRegistry::SetValue(RegistryKey key, const std::string& name, const RegistryValue& value) {
  const auto found = open_.find(key);
  if (found == open_.end()) {
    return 6;
  }
  if ((found->second.access & kSetValue) == 0) {
    return kAccessDenied;
  }
  const bool text =
      value.type == kTypeString || value.type == kTypeExpandString || value.type == kTypeMultiString;
  if (!Utf8ToUtf16(name) || (text && !Utf8ToUtf16(value.data))) {
    return kNoUnicodeTranslation;
  }
  keys_[found->second.path].values[Lower(name)] = value;
  Changed();
  return kSuccess;
}

std::int32_t FakeRegistry::DeleteValue(RegistryKey key, const std::string& name) {
  const auto found = open_.find(key);
  if (found == open_.end()) {
    return 6;
  }
  if ((found->second.access & kSetValue) == 0) {
    return kAccessDenied;
  }
  if (keys_[found->second.path].values.erase(Lower(name)) == 0) {
    return kFileNotFound;
  }
  Changed();
  return kSuccess;
}

std::int32_t FakeRegistry::DeleteKey(RegistryKey parent, const std::string& subKey, std::uint32_t view) {
  const std::optional<std::string> path = Resolve(parent, subKey, view);
  if (!path || subKey.empty()) {
    return 6;
  }
  if (Denied(*path)) {
    return kAccessDenied;
  }
  if (keys_.count(*path) == 0) {
    return kFileNotFound;
  }
  const auto below = keys_.lower_bound(*path + "\\");
  if (below != keys_.end() && StartsWith(below->first, *path + "\\")) {
    return kAccessDenied;  // a key with subkeys is refused, as RegDeleteKeyEx refuses it
  }
  keys_.erase(*path);
  Changed();
  return kSuccess;
}

std::int32_t FakeRegistry::CloseKey(RegistryKey key) {
  return open_.erase(key) != 0 ? kSuccess : 6;
}

void FakeRegistry::AddKey(const std::string& path) {
  RegistryKey key = RegistryKey::none;
  const std::string lower = Lower(path);
  const std::size_t slash = lower.find('\\');
  const RegistryKey root = StartsWith(lower, "hkcu")   ? RegistryKey::currentUser
                           : StartsWith(lower, "hkcr") ? RegistryKey::classesRoot
                                                       : RegistryKey::localMachine;
  CreateKey(root, slash == std::string::npos ? std::string() : lower.substr(slash + 1), kAllAccess, key);
  CloseKey(key);
}

void FakeRegistry::SetString(const std::string& path, const std::string& name, const std::string& text) {
  AddKey(path);
  keys_[Lower(path)].values[Lower(name)] = RegistryValue{kTypeString, text + '\0'};
}

bool FakeRegistry::HasKey(const std::string& path) const {
  return keys_.count(Lower(path)) != 0;
}

std::optional<RegistryValue> FakeRegistry::Value(const std::string& path, const std::string& name) const {
  const auto key = keys_.find(Lower(path));
  if (key == keys_.end()) {
    return std::nullopt;
  }
  const auto value = key->second.values.find(Lower(name));
  if (value == key->second.values.end()) {
    return std::nullopt;
  }
  return value->second;
}

std::vector<std::string> FakeRegistry::Dump() const {
  std::vector<std::string> lines;
  for (const auto& [path, key] : keys_) {
    lines.push_back(path);
    for (const auto& [name, value] : key.values) {
      std::string bytes;
      for (const char c : value.data) {
        bytes += std::to_string(static_cast<unsigned char>(c)) + ' ';
      }
      std::string line = path;
      line += '\\';
      line += name;
      line += '=';
      line += std::to_string(value.type);
      line += ':';
      line += bytes;
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

FakeRegistry::Hive FakeRegistry::SaveHive() const {
  return {keys_};
}

void FakeRegistry::RestoreHive(const Hive& hive) {
  keys_ = hive.keys;
  open_.clear();
}
