#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/flags.h"

// The bit value that names a package in a download, given by the package plans of the client and the
// server; the named bits choose what is done with the package once it is here, and the download status
// records the values as this number.
enum class PackageBits : std::uint32_t {
  none = 0,
  sqlNativeClient = 0x800,  // "sqlncli.msi"
  runtime2015 = 0x1000,     // Visual C++ 2015 and later
  runtime2013 = 0x2000,     // Visual C++ 2013
  informationServer = 0x200000,
};
constexpr bool IsFlagSet(PackageBits) {
  return true;
}

// Where a server package is saved: the cabinet folder or the update folder of the server.
enum class PackagePlace : std::int32_t { cabinetFolder = 1, updateFolder = 3 };

// The Visual C++ runtime a check asks for.
enum class RuntimeKind {
  vc2013,  // 2013 ("vcredist_x64.exe", "vcredist_x32.exe")
  vc2015,  // 2015 and later, x64 ("VC_redist.x64.exe")
};

// A package of a component's plan, in the order the component fetches them, and what its update does
// with it once it is in.
struct PlannedPackage {
  enum class Use {
    runtime,    // fetched and installed when the runtime check finds `runtime` missing
    cabinet,    // unpacked into the component's folder
    box,        // unpacked into a new server only: a server already in place keeps the box's files
    kept,       // kept in the cabinet folder, for the clients the server hands out
    installer,  // run as it comes in (a Windows Installer package)
    sqlSetup,   // fetched here, run by the SQL Server step
  };
  std::string name{};
  PackageBits bits = PackageBits::none;
  Use use = Use::cabinet;
  PackagePlace place = PackagePlace::updateFolder;
  RuntimeKind runtime = RuntimeKind::vc2013;
  // The progress the run adds once the package is in; none: the bar stays where it is.
  std::optional<double> progress{};
  bool operator==(const PlannedPackage&) const = default;
};
