#pragma once

#include <cstdint>
#include <optional>
#include <string>

// An open registry key (HKEY), or one of the predefined roots.
enum class RegistryKey : std::uintptr_t {
  none = 0,
  localMachine = 1,  // HKEY_LOCAL_MACHINE
  currentUser = 2,   // HKEY_CURRENT_USER
  classesRoot = 3,   // HKEY_CLASSES_ROOT
};

// A value as the registry holds it: its type and its bytes (a REG_SZ keeps its terminating NUL).
struct RegistryValue {
  std::uint32_t type = 0;
  std::string data;
};

// The registry of the local machine. Key paths, value names and the texts of string values are UTF-8; results
// are the Win32 status codes of the calls (0 for success).
class Registry {
 public:
  // Access rights and views, and value types, as Windows numbers them.
  static constexpr std::uint32_t kQueryValue = 0x0001;
  static constexpr std::uint32_t kSetValue = 0x0002;
  static constexpr std::uint32_t kCreateSubKey = 0x0004;
  static constexpr std::uint32_t kRead = 0x20019;
  static constexpr std::uint32_t kWrite = 0x20006;
  static constexpr std::uint32_t kAllAccess = 0xF003F;
  static constexpr std::uint32_t kView64 = 0x0100;       // KEY_WOW64_64KEY
  static constexpr std::uint32_t kView32 = 0x0200;       // KEY_WOW64_32KEY: WOW6432Node on 64-bit Windows
  static constexpr std::uint32_t kTypeString = 1;        // REG_SZ
  static constexpr std::uint32_t kTypeExpandString = 2;  // REG_EXPAND_SZ
  static constexpr std::uint32_t kTypeDword = 4;         // REG_DWORD
  static constexpr std::uint32_t kTypeMultiString = 7;   // REG_MULTI_SZ
  static constexpr std::int32_t kSuccess = 0;
  static constexpr std::int32_t kFileNotFound = 2;
  static constexpr std::int32_t kAccessDenied = 5;
  static constexpr std::int32_t kNoUnicodeTranslation = 1113;  // a text that is no UTF-8

  Registry() = default;
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;
  virtual ~Registry() = default;

  // RegOpenKeyExW: opens an existing key; `key` receives it on success.
  virtual std::int32_t OpenKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                               RegistryKey& key) = 0;
  // RegCreateKeyExW: opens the key, creating it and its missing parents first.
  virtual std::int32_t CreateKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                                 RegistryKey& key) = 0;
  // RegQueryValueExW for the size, then for the data.
  virtual std::int32_t QueryValue(RegistryKey key, const std::string& name, RegistryValue& value) = 0;
  // RegSetValueExW.
  virtual std::int32_t SetValue(RegistryKey key, const std::string& name, const RegistryValue& value) = 0;
  // RegDeleteValueW.
  virtual std::int32_t DeleteValue(RegistryKey key, const std::string& name) = 0;
  // RegDeleteKeyExW in a view (kView32 or kView64, or 0 for the native one); a key with subkeys stays.
  virtual std::int32_t DeleteKey(RegistryKey parent, const std::string& subKey, std::uint32_t view) = 0;
  // RegCloseKey.
  virtual std::int32_t CloseKey(RegistryKey key) = 0;
};
