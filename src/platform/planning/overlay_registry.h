#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

// The registry as a run that only plans sees it: reads reach the real registry, keys made, values set and
// values or keys deleted stay in memory and are seen by the reads that follow. Nothing is written.
class OverlayRegistry final : public Registry {
 public:
  explicit OverlayRegistry(Registry& real);

  std::int32_t OpenKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                       RegistryKey& key) override;
  std::int32_t CreateKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                         RegistryKey& key) override;
  std::int32_t QueryValue(RegistryKey key, const std::string& name, RegistryValue& value) override;
  std::int32_t SetValue(RegistryKey key, const std::string& name, const RegistryValue& value) override;
  std::int32_t DeleteValue(RegistryKey key, const std::string& name) override;
  std::int32_t DeleteKey(RegistryKey parent, const std::string& subKey, std::uint32_t view) override;
  std::int32_t CloseKey(RegistryKey key) override;

  // Every key the run would make or delete and every value it would set or delete, in the order of the
  // first change of each, with whether it was there before and is there at the end. `path` is the key's
  // path in the 64-bit view (WOW6432Node written out); `name` is empty for a key.
  struct Change {
    RegistryKey root = RegistryKey::none;
    std::string path;
    std::optional<std::string> name;
    bool before = false;
    bool after = false;
  };
  std::vector<Change> Changes();

 private:
  // A key as one name whatever view or handle reached it: its root, and its path in the 64-bit view
  // (WOW6432Node written out).
  struct Place {
    RegistryKey root = RegistryKey::none;
    std::string path;
  };
  struct KeyState {
    bool removed = false;
    std::map<std::string, std::optional<RegistryValue>> values;  // by lower-case name; nullopt: deleted
  };

  std::optional<Place> PlaceOf(RegistryKey parent, const std::string& subKey, std::uint32_t view) const;
  static std::string KeyOf(const Place& place);
  bool Exists(const Place& place);
  std::int32_t Open(const Place& place, std::uint32_t access, RegistryKey& key);
  // The value as it is now (nullopt: none), the overlay's changes seen.
  std::optional<RegistryValue> ValueNow(const Place& place, const std::string& name);
  void Touch(const Place& place, const std::optional<std::string>& name, bool before);

  Registry& real_;
  std::map<std::string, KeyState> keys_;  // keys made or changed here, by KeyOf
  std::map<std::uintptr_t, std::pair<Place, std::uint32_t>> open_;
  std::vector<Change> touched_;
  std::map<std::string, std::size_t> touchedAt_;  // by KeyOf and the lower-case value name
  std::uintptr_t nextHandle_ = 0x7E000000;
};
