#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A Windows Installer handle (MSIHANDLE) of a database, a view or a record.
enum class MsiHandle : std::uint32_t { none = 0 };

// The tables of a Windows Installer package, read through msi.dll. Results are the Win32 status codes of
// the calls (0 for success).
class InstallerDatabase {
 public:
  static constexpr std::uint32_t kNoMoreItems = 259;  // ERROR_NO_MORE_ITEMS

  InstallerDatabase() = default;
  InstallerDatabase(const InstallerDatabase&) = delete;
  InstallerDatabase& operator=(const InstallerDatabase&) = delete;
  virtual ~InstallerDatabase() = default;

  // MsiOpenDatabaseW of a package, read-only.
  virtual std::uint32_t OpenDatabase(const std::string& package, MsiHandle& database) = 0;
  // MsiDatabaseOpenViewW of an SQL query.
  virtual std::uint32_t OpenView(MsiHandle database, const std::string& query, MsiHandle& view) = 0;
  // MsiViewExecute without parameters.
  virtual std::uint32_t Execute(MsiHandle view) = 0;
  // MsiViewFetch: the next row, or kNoMoreItems.
  virtual std::uint32_t Fetch(MsiHandle view, MsiHandle& record) = 0;
  // MsiRecordGetStringW of a field (its size, then its text); nullopt when it cannot be read.
  virtual std::optional<std::string> RecordString(MsiHandle record, std::uint32_t field) = 0;
  // MsiQueryProductStateW of a product code: true when the product is installed (INSTALLSTATE_DEFAULT).
  virtual bool ProductInstalled(const std::string& productCode) = 0;
  // MsiCloseHandle.
  virtual std::uint32_t Close(MsiHandle handle) = 0;
};
