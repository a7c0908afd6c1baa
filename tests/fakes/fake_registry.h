#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/registry.h"

// In-memory registry with the 64-bit and the 32-bit view of a 64-bit Windows: in the 32-bit view, keys
// below HKEY_LOCAL_MACHINE\SOFTWARE are redirected to SOFTWARE\WOW6432Node. Names are compared without
// case.
class FakeRegistry final : public Registry {
 public:
  // The keys every Windows installation has: a setup never makes them, and never takes them away.
  FakeRegistry() {
    for (const char* path : {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                             "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                             "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion",
                             "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application"}) {
      AddKey(path);
    }
  }
  std::int32_t OpenKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                       RegistryKey& key) override;
  std::int32_t CreateKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                         RegistryKey& key) override;
  std::int32_t QueryValue(RegistryKey key, const std::string& name, RegistryValue& value) override;
  std::int32_t SetValue(RegistryKey key, const std::string& name, const RegistryValue& value) override;
  std::int32_t DeleteValue(RegistryKey key, const std::string& name) override;
  std::int32_t DeleteKey(RegistryKey parent, const std::string& subKey, std::uint32_t view) override;
  std::int32_t CloseKey(RegistryKey key) override;

  // Set up and read by the test, with full paths as the 64-bit view sees them, such as
  // "HKLM\SOFTWARE\WOW6432Node\Microsoft\SQLNCLI11".
  void AddKey(const std::string& path);
  void SetString(const std::string& path, const std::string& name, const std::string& text);
  bool HasKey(const std::string& path) const;
  std::optional<RegistryValue> Value(const std::string& path, const std::string& name) const;
  // Keys below which every open or create is refused.
  std::set<std::string> deniedPaths;

  std::size_t OpenKeys() const { return open_.size(); }
  // The keys and values, to be put back as they were at one moment (the moment a run was cut off).
  struct Hive;
  Hive SaveHive() const;
  void RestoreHive(const Hive& hive);
  // Every key and value, one line each ("path" and "path\\name=type:bytes"), for comparing whole machines.
  std::vector<std::string> Dump() const;
  // Called after each change the fake makes to the machine (the crash tests stop a run there).
  std::function<void()> changed;

 private:
  struct Key {
    std::map<std::string, RegistryValue> values;  // by lower-case name
  };

 public:
  struct Hive {
    std::map<std::string, Key> keys;
  };

 private:
  struct OpenKeyState {
    std::string path;
    std::uint32_t access;
  };
  static std::string Lower(std::string text);
  std::optional<std::string> Resolve(RegistryKey parent, const std::string& subKey,
                                     std::uint32_t access) const;
  bool Denied(const std::string& path) const;
  RegistryKey Open(const std::string& path, std::uint32_t access);
  void Changed() const {
    if (changed) {
      changed();
    }
  }

  std::map<std::string, Key> keys_;  // by lower-case full path
  std::map<RegistryKey, OpenKeyState> open_;
  std::uintptr_t nextKey_ = 0x1000;
};
