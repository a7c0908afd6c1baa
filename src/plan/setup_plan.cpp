#include "plan/setup_plan.h"

namespace {

// The weights of the steps of every run. They do not add up to the total of every road: a run that has
// gone through all its steps shows a full bar.
constexpr ProgressWeights kWeights{.clientRuntime = 3,
                                   .clientPackage = 3,
                                   .serverDownload = 10,
                                   .serverExtract = 5,
                                   .sqlDownload = 15,
                                   .website = 10};

}  // namespace

SetupPlan PlanSetup(const SetupChoices& choices, bool installSqlExpress, bool nativeClientMissing) {
  const bool client = ChoosesClient(choices.setupType);
  const bool server = ChoosesServer(choices.setupType);
  SetupPlan plan;
  plan.weights = kWeights;
  plan.progressTotal = 5;
  if (client) {
    plan.progressTotal = 14;
  }
  if (server) {
    plan.progressTotal += 25;
  }
  if (installSqlExpress) {
    plan.progressTotal += 30;
  }
  plan.actions.push_back(PlannedAction::copySetupProgram);
  if (client) {
    plan.clientPackages = PlanClientPackages(choices.bitSize);
    plan.actions.push_back(PlannedAction::updateClient);
    // The shortcut before the registration, the client's last change, with which it is committed.
    plan.actions.push_back(PlannedAction::createShortcut);
    plan.actions.push_back(PlannedAction::registerClient);
  }
  if (server) {
    plan.serverPackages = PlanServerPackages(choices, installSqlExpress, nativeClientMissing, plan.weights);
    plan.actions.push_back(PlannedAction::updateServer);
    plan.actions.push_back(PlannedAction::registerServer);
  }
  if (installSqlExpress) {
    plan.actions.push_back(PlannedAction::installSqlServer);
  }
  return plan;
}

std::string PackageNames(const std::vector<PlannedPackage>& packages) {
  std::string names;
  for (const PlannedPackage& package : packages) {
    names += (names.empty() ? "" : " ") + package.name;
  }
  return names;
}
