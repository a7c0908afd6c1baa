#pragma once

#include <cstdint>
#include <string>

struct SetupContext;

// SQL Server detection and the SQL Server Express installation. Its findings are never reset: repeated
// detections in one run add to them.
class SqlServerSetup {
 public:
  // Bit of `flags`: the SQL Server Native Client is registered in neither registry view.
  static constexpr std::uint32_t kNativeClientMissing = 0x20000;

  explicit SqlServerSetup(SetupContext& context) : owner(context) {}

  SetupContext& owner;
  std::uint32_t flags = 0;
  // 1 when a database-engine service with "MSSQLSERVER" in its instance name was found.
  std::int32_t defaultInstanceFound = 0;
  // Database-engine services of major version 12 or later.
  std::int32_t instanceCount = 0;
  // Drive root for the SQL Server data: at most four characters.
  std::string dataDrive = "  ";
  // One bit per major version found: 0x1 = 11 ... 0x20 = 16.
  std::uint32_t versionsFound = 0;
};
