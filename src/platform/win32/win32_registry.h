#pragma once

#include "platform/registry.h"

class Win32Registry final : public Registry {
 public:
  std::int32_t OpenKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                       RegistryKey& key) override;
  std::int32_t CreateKey(RegistryKey parent, const std::string& subKey, std::uint32_t access,
                         RegistryKey& key) override;
  std::int32_t QueryValue(RegistryKey key, const std::string& name, RegistryValue& value) override;
  std::int32_t SetValue(RegistryKey key, const std::string& name, const RegistryValue& value) override;
  std::int32_t DeleteValue(RegistryKey key, const std::string& name) override;
  std::int32_t DeleteKey(RegistryKey parent, const std::string& subKey, std::uint32_t view) override;
  std::int32_t CloseKey(RegistryKey key) override;
};
