#include <algorithm>
#include <array>

#include "plan/setup_plan.h"

namespace {

constexpr std::array<BitSize, 3> kBuilds = {BitSize::x64, BitSize::x32, BitSize::aiClient};
// The information server's port: its installer comes with a server on it.
constexpr std::int32_t kInformationServerPort = 1465;

void AddOnce(std::vector<std::string>& names, const std::vector<PlannedPackage>& packages) {
  for (const PlannedPackage& package : packages) {
    if (std::find(names.begin(), names.end(), package.name) == names.end()) {
      names.push_back(package.name);
    }
  }
}

}  // namespace

std::vector<std::string> PlanLayoutPackages(const std::optional<SetupChoices>& choices) {
  std::vector<std::string> names;
  const ProgressWeights weights;
  if (choices) {
    if (ChoosesClient(choices->setupType)) {
      AddOnce(names, PlanClientPackages(choices->bitSize));
    }
    // The machines the layout serves may lack SQL Server's Native Client; SQL Server Express is there
    // when it was chosen.
    if (ChoosesServer(choices->setupType)) {
      AddOnce(names, PlanServerPackages(*choices, choices->installSqlServer, true, weights));
    }
    return names;
  }
  for (const BitSize build : kBuilds) {
    AddOnce(names, PlanClientPackages(build));
  }
  SetupChoices everything;
  everything.setupType = SetupType::server;
  everything.edition = Edition::enterprise;
  everything.port = kInformationServerPort;
  AddOnce(names, PlanServerPackages(everything, true, true, weights));
  return names;
}
