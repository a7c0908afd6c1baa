#include "platform/planning/overlay_registry.h"

#include <algorithm>

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), Lower);
  return text;
}

std::string Trimmed(const std::string& path) {
  std::string trimmed = path;
  while (!trimmed.empty() && trimmed.back() == '\\') {
    trimmed.pop_back();
  }
  while (!trimmed.empty() && trimmed.front() == '\\') {
    trimmed.erase(0, 1);
  }
  return trimmed;
}

constexpr char kSoftware[] = "software\\";
constexpr char kRedirected[] = "software\\wow6432node\\";

}  // namespace

OverlayRegistry::OverlayRegistry(Registry& real) : real_(real) {}

std::optional<OverlayRegistry::Place> OverlayRegistry::PlaceOf(RegistryKey parent, const std::string& subKey,
                                                               std::uint32_t view) const {
  Place place;
  if (const auto open = open_.find(static_cast<std::uintptr_t>(parent)); open != open_.end()) {
    place = open->second.first;
    const std::string below = Trimmed(subKey);
    if (!below.empty()) {
      place.path += (place.path.empty() ? "" : "\\") + below;
    }
    return place;
  }
  if (parent != RegistryKey::localMachine && parent != RegistryKey::currentUser &&
      parent != RegistryKey::classesRoot) {
    return std::nullopt;
  }
  place.root = parent;
  place.path = Trimmed(subKey);
  // The 32-bit view of the machine's software is WOW6432Node as the 64-bit view sees it.
  const std::string lowered = Lowered(place.path);
  if (parent == RegistryKey::localMachine && (view & kView32) != 0 && lowered.starts_with(kSoftware) &&
      !lowered.starts_with(kRedirected)) {
    place.path = place.path.substr(0, 9) + "WOW6432Node\\" + place.path.substr(9);
  } else if (parent == RegistryKey::localMachine && (view & kView32) != 0 && lowered == "software") {
    place.path += "\\WOW6432Node";
  }
  return place;
}

std::string OverlayRegistry::KeyOf(const Place& place) {
  return std::to_string(static_cast<std::uintptr_t>(place.root)) + ":" + Lowered(place.path);
}

bool OverlayRegistry::Exists(const Place& place) {
  // A key removed here is gone with every key below it, until it is made again.
  const std::string key = KeyOf(place);
  for (const auto& [name, state] : keys_) {
    if (state.removed && (key == name || key.starts_with(name + "\\"))) {
      return keys_.contains(key) && !keys_.at(key).removed;
    }
  }
  if (const auto found = keys_.find(key); found != keys_.end()) {
    return !found->second.removed;
  }
  RegistryKey opened = RegistryKey::none;
  if (real_.OpenKey(place.root, place.path, kRead | kView64, opened) != kSuccess) {
    return false;
  }
  real_.CloseKey(opened);
  return true;
}

void OverlayRegistry::Touch(const Place& place, const std::optional<std::string>& name, bool before) {
  std::string key = KeyOf(place);
  key.append(name ? "|v" : "|k").append(name ? Lowered(*name) : std::string());
  if (!touchedAt_.contains(key)) {
    touchedAt_[key] = touched_.size();
    touched_.push_back({place.root, place.path, name, before, false});
  }
}

std::optional<RegistryValue> OverlayRegistry::ValueNow(const Place& place, const std::string& name) {
  const std::uintptr_t handle = nextHandle_++;
  open_[handle] = {place, kRead};
  RegistryValue value;
  const bool found = QueryValue(static_cast<RegistryKey>(handle), name, value) == kSuccess;
  open_.erase(handle);
  return found ? std::optional<RegistryValue>(value) : std::nullopt;
}

std::vector<OverlayRegistry::Change> OverlayRegistry::Changes() {
  std::vector<Change> changes = touched_;
  for (Change& change : changes) {
    const Place place{change.root, change.path};
    change.after = Exists(place) && (!change.name || ValueNow(place, *change.name).has_value());
  }
  return changes;
}

std::int32_t OverlayRegistry::Open(const Place& place, std::uint32_t access, RegistryKey& key) {
  const std::uintptr_t handle = nextHandle_++;
  open_[handle] = {place, access};
  key = static_cast<RegistryKey>(handle);
  return kSuccess;
}

std::int32_t OverlayRegistry::OpenKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                                      RegistryKey& key) {
  const std::optional<Place> place = PlaceOf(parent, subKey, access);
  if (!place) {
    return 6;  // ERROR_INVALID_HANDLE
  }
  if (!Exists(*place)) {
    return kFileNotFound;
  }
  return Open(*place, access, key);
}

std::int32_t OverlayRegistry::CreateKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                                        RegistryKey& key) {
  const std::optional<Place> place = PlaceOf(parent, subKey, access);
  if (!place) {
    return 6;
  }
  // The key and every missing key above it are made.
  for (std::size_t end = 0; end != std::string::npos;) {
    end = place->path.find('\\', end == 0 ? 0 : end + 1);
    const Place above{place->root, place->path.substr(0, end)};
    if (!Exists(above)) {
      Touch(above, std::nullopt, false);
      KeyState& made = keys_[KeyOf(above)];
      made = KeyState{};
    }
  }
  return Open(*place, access, key);
}

std::int32_t OverlayRegistry::QueryValue(RegistryKey key, const std::string& name, RegistryValue& value) {
  const auto open = open_.find(static_cast<std::uintptr_t>(key));
  if (open == open_.end()) {
    return 6;
  }
  const Place& place = open->second.first;
  if (!Exists(place)) {
    return 1018;  // ERROR_KEY_DELETED
  }
  if (const auto state = keys_.find(KeyOf(place)); state != keys_.end()) {
    if (const auto found = state->second.values.find(Lowered(name)); found != state->second.values.end()) {
      if (!found->second) {
        return kFileNotFound;
      }
      value = *found->second;
      return kSuccess;
    }
  }
  RegistryKey opened = RegistryKey::none;
  std::int32_t status = real_.OpenKey(place.root, place.path, kRead | kView64, opened);
  if (status != kSuccess) {
    return kFileNotFound;  // a key made here holds only what was set here
  }
  status = real_.QueryValue(opened, name, value);
  real_.CloseKey(opened);
  return status;
}

std::int32_t OverlayRegistry::SetValue(RegistryKey key, const std::string& name, const RegistryValue& value) {
  const auto open = open_.find(static_cast<std::uintptr_t>(key));
  if (open == open_.end()) {
    return 6;
  }
  if ((open->second.second & kSetValue) == 0) {
    return kAccessDenied;
  }
  Touch(open->second.first, name, ValueNow(open->second.first, name).has_value());
  keys_[KeyOf(open->second.first)].values[Lowered(name)] = value;
  return kSuccess;
}

std::int32_t OverlayRegistry::DeleteValue(RegistryKey key, const std::string& name) {
  RegistryValue value;
  const std::int32_t status = QueryValue(key, name, value);
  if (status != kSuccess) {
    return status;
  }
  if ((open_[static_cast<std::uintptr_t>(key)].second & kSetValue) == 0) {
    return kAccessDenied;
  }
  Touch(open_[static_cast<std::uintptr_t>(key)].first, name, true);
  keys_[KeyOf(open_[static_cast<std::uintptr_t>(key)].first)].values[Lowered(name)] = std::nullopt;
  return kSuccess;
}

std::int32_t OverlayRegistry::DeleteKey(RegistryKey parent, const std::string& subKey, std::uint32_t view) {
  const std::optional<Place> place = PlaceOf(parent, subKey, view);
  if (!place) {
    return 6;
  }
  if (!Exists(*place)) {
    return kFileNotFound;
  }
  const std::string key = KeyOf(*place);
  // A key with a key made here below it stays, as Windows keeps a key with subkeys.
  const bool hasMadeBelow = std::any_of(keys_.begin(), keys_.end(), [&key](const auto& entry) {
    return !entry.second.removed && entry.first.starts_with(key + "\\");
  });
  if (hasMadeBelow) {
    return kAccessDenied;
  }
  Touch(*place, std::nullopt, true);
  keys_[key] = KeyState{true, {}};
  return kSuccess;
}

std::int32_t OverlayRegistry::CloseKey(RegistryKey key) {
  return open_.erase(static_cast<std::uintptr_t>(key)) != 0 ? kSuccess : 6;
}
