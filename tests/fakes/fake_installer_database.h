#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/installer_database.h"

// Windows Installer packages in memory: the Property table of each package by its path (without case).
// A view runs one query form, "SELECT `Value` FROM `Property` WHERE `Property`='NAME'"; any other is
// refused as msi.dll refuses bad SQL.
class FakeInstallerDatabase final : public InstallerDatabase {
 public:
  std::uint32_t OpenDatabase(const std::string& package, MsiHandle& database) override;
  std::uint32_t OpenView(MsiHandle database, const std::string& query, MsiHandle& view) override;
  std::uint32_t Execute(MsiHandle view) override;
  std::uint32_t Fetch(MsiHandle view, MsiHandle& record) override;
  std::optional<std::string> RecordString(MsiHandle record, std::uint32_t field) override;
  std::uint32_t Close(MsiHandle handle) override;
  bool ProductInstalled(const std::string& productCode) override;

  // Set by the test: the properties of each package.
  std::map<std::string, std::map<std::string, std::string>> packages;
  std::size_t OpenHandles() const { return open_.size(); }
  // The product codes installed on the machine (as written, braces included; compared without case).
  std::set<std::string> installedProducts;

 private:
  struct Handle {
    std::string package;
    std::string property;  // of a view: the property asked for; of a record: its value
    bool executed = false;
    bool fetched = false;
  };
  std::map<MsiHandle, Handle> open_;
  std::uint32_t next_ = 0x10;
};
