#include <array>

#include "plan/setup_plan.h"

namespace {

constexpr char kRuntime[] = "vcredist_x64.exe";
constexpr char kSqlExpress[] = "SQLEXPR_x64_ENU.exe";
constexpr char kInformationServerInstaller[] = "NembricISSetup.msi";
constexpr char kNativeClientInstaller[] = "sqlncli.msi";
constexpr char kBoxCabinet[] = "HNbx.cab";
// The information server's port: its installer comes with the server.
constexpr std::int32_t kInformationServerPort = 1465;

// The server cabinets that are unpacked into the server directory, and which editions get them.
struct ServerCabinet {
  const char* name;
  PackageBits bits;
  bool enterpriseOnly;
};

constexpr std::array<ServerCabinet, 5> kServerCabinets = {{
    {"HNembricAI1.cab", PackageBits{0x1}, false},
    {"HNembricAI2.cab", PackageBits{0x2}, false},
    {"HNembricAI3.cab", PackageBits{0x4}, false},
    {"HNembricAI4.cab", PackageBits{0x8}, true},
    {"HNembricAI5.cab", PackageBits{0x10}, true},
}};

// The three client builds, kept with the server in its cabinet folder.
constexpr std::array<std::pair<const char*, PackageBits>, 3> kClientCabinets = {{
    {"Nembric10App.cab", PackageBits{0x200}},
    {"Nembric10App32.cab", PackageBits{0x100}},
    {"NembricAiApp.cab", PackageBits{0x400}},
}};

}  // namespace

std::vector<PlannedPackage> PlanServerPackages(const SetupChoices& choices, bool installSqlExpress,
                                               bool nativeClientMissing, const ProgressWeights& weights) {
  using Use = PlannedPackage::Use;
  std::vector<PlannedPackage> packages;
  const auto add = [&packages](const char* name, PackageBits bits, Use use) -> PlannedPackage& {
    PlannedPackage& package = packages.emplace_back(PlannedPackage{.name = name, .bits = bits});
    package.use = use;
    return package;
  };
  // The client update of a 64-bit client has already seen to this runtime.
  if (!(ChoosesClient(choices.setupType) && choices.bitSize == BitSize::x64)) {
    add(kRuntime, PackageBits::runtime2013, Use::runtime);
  }
  for (const ServerCabinet& cabinet : kServerCabinets) {
    if (choices.edition == Edition::enterprise || !cabinet.enterpriseOnly) {
      add(cabinet.name, cabinet.bits, Use::cabinet);
    }
  }
  for (const auto& [name, bits] : kClientCabinets) {
    add(name, bits, Use::kept).place = PackagePlace::cabinetFolder;
  }
  add(kBoxCabinet, PackageBits{0x40}, Use::box).progress = weights.serverDownload;
  if (installSqlExpress) {
    add(kSqlExpress, PackageBits{0x80}, Use::sqlSetup).progress = weights.sqlDownload;
  }
  if (choices.port == kInformationServerPort) {
    add(kInformationServerInstaller, PackageBits::informationServer, Use::installer);
  }
  if (nativeClientMissing) {
    add(kNativeClientInstaller, PackageBits::sqlNativeClient, Use::installer);
  }
  return packages;
}
