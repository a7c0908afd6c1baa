#pragma once

#include "platform/installer_database.h"

// Windows Installer databases through msi.dll.
class Win32InstallerDatabase final : public InstallerDatabase {
 public:
  std::uint32_t OpenDatabase(const std::string& package, MsiHandle& database) override;
  std::uint32_t OpenView(MsiHandle database, const std::string& query, MsiHandle& view) override;
  std::uint32_t Execute(MsiHandle view) override;
  std::uint32_t Fetch(MsiHandle view, MsiHandle& record) override;
  std::optional<std::string> RecordString(MsiHandle record, std::uint32_t field) override;
  std::uint32_t Close(MsiHandle handle) override;
  bool ProductInstalled(const std::string& productCode) override;
};
