#include <array>

#include "plan/setup_plan.h"

namespace {

// The packages of one client build: the runtime it needs and its cabinet.
struct ClientPackages {
  BitSize bitSize;
  RuntimeKind runtimeKind;
  const char* runtime;
  PackageBits runtimeBits;
  const char* cabinet;
  PackageBits cabinetBits;
};

constexpr std::array<ClientPackages, 3> kClientPackages = {{
    {BitSize::x32, RuntimeKind::vc2013, "vcredist_x32.exe", PackageBits::runtime2013,
     "Nembric10AppSetup32.cab", PackageBits{0x80}},
    {BitSize::x64, RuntimeKind::vc2013, "vcredist_x64.exe", PackageBits::runtime2013, "Nembric10AppSetup.cab",
     PackageBits{0x40}},
    {BitSize::aiClient, RuntimeKind::vc2015, "VC_redist.x64.exe", PackageBits::runtime2015,
     "NembricAIAppSetup.cab", PackageBits{0x100}},
}};

}  // namespace

std::vector<PlannedPackage> PlanClientPackages(BitSize bitSize) {
  for (const ClientPackages& packages : kClientPackages) {
    if (packages.bitSize == bitSize) {
      PlannedPackage runtime{.name = packages.runtime, .bits = packages.runtimeBits};
      runtime.use = PlannedPackage::Use::runtime;
      runtime.runtime = packages.runtimeKind;
      PlannedPackage cabinet{.name = packages.cabinet, .bits = packages.cabinetBits};
      return {runtime, cabinet};
    }
  }
  return {};
}
