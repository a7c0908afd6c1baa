#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/action_result.h"
#include "platform/handles.h"

class WmiServices;
struct SetupState;

// SQL Server detection and the SQL Server Express installation. Its findings are never reset: repeated
// detections in one run add to them.
class SqlServerSetup {
 public:
  // Bits of `versionsFound`, by major version: 11 is 0x1 up to 16 at 0x20.
  static constexpr std::uint32_t kVersion15 = 0x10;
  static constexpr std::uint32_t kVersion16 = 0x20;

  explicit SqlServerSetup(SetupState& state) : state_(state) {}

  // True when a usable SQL Server is installed: a database engine of version 12 or later, and version 15
  // or 16 or the 64-bit SQL Server Native Client 11.
  bool DetectSqlServer();
  // The services of the first SQL Server ComputerManagement namespace (11 to 16) that connects.
  std::unique_ptr<WmiServices> ConnectSqlWmi();
  // Counts the database-engine services of version 12 or later and records versions, the default
  // instance and the native client; returns the new instance count.
  std::int32_t ScanSqlInstances(WmiServices& services);
  // The text of the property of the service, empty when there is none.
  std::u16string QueryServiceProperty(WmiServices& services, std::u16string_view serviceName,
                                      std::u16string_view propertyName);
  // The instance name of a SQL Server service: what follows the first "$", or the whole name.
  std::string InstanceNameOf(std::u16string_view serviceName);

  // Runs the SQL Server Express setup from the server's update folder unattended, its output copied into
  // the log chunk by chunk while it runs and after it has ended. Failed when it could not be started (the
  // pipe, or the start with its error; a path beyond the limits as ERROR_FILENAME_EXCED_RANGE).
  ActionResult InstallSqlServer();
  // True when the last installation's setup ended with success (0, or 3010 when it needs a restart).
  bool Installed() const;
  // The setup's arguments with the password given, after choosing the data drive.
  std::string BuildSqlSetupArguments(std::string_view password);
  // The fixed drive with the most free space (the earlier one of a tie) into `dataDrive`; empty when no
  // fixed drive tells its free space.
  bool ChooseDataDrive();

  // A detection found SQL Server instances without the SQL Server Native Client 11 in either registry
  // view; the run hands it to the server update.
  bool nativeClientMissing = false;
  // 1 when a database-engine service with "MSSQLSERVER" in its instance name was found.
  std::int32_t defaultInstanceFound = 0;
  // Database-engine services of major version 12 or later.
  std::int32_t instanceCount = 0;
  // The exit code of the SQL Server setup the last installation ran, when it ran and its code was read.
  std::optional<std::uint32_t> setupExitCode;
  // Drive root for the SQL Server data: at most four characters.
  std::string dataDrive = "  ";
  // One bit per major version found: 0x1 = 11 ... 0x20 = 16.
  std::uint32_t versionsFound = 0;

 private:
  std::string SqlSetupArguments(std::string_view password) const;
  // Logs one chunk of at most 255 bytes waiting in the pipe; false when none was.
  bool LogSetupOutput(FileHandle read);

  SetupState& state_;
};

// The leading decimal number of a version text, read as the C library reads an integer: leading white
// space, an optional sign, digits; 0 when there are none, saturated when out of range.
std::int32_t LeadingVersionNumber(std::u16string_view version);

// A text as a WQL string literal in single quotes, with quote and backslash escaped, so that it is always
// read back as the same text.
std::u16string WqlStringLiteral(std::u16string_view text);
