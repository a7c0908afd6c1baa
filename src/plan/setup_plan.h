#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plan/package_plan.h"
#include "product/setup_choices.h"
#include "product/setup_state.h"

// What a run changes on the machine, in order, decided before anything is changed: each action is
// carried out by the step of its component, and the packages of each component are the ones its update
// fetches.
enum class PlannedAction {
  copySetupProgram,  // the setup program into the product folder (the shared part)
  updateClient,
  registerClient,
  updateServer,
  registerServer,
  installSqlServer,
  createShortcut,  // the client's Start menu shortcut
};

struct SetupPlan {
  std::vector<PlannedAction> actions;
  std::vector<PlannedPackage> clientPackages;
  std::vector<PlannedPackage> serverPackages;
  // The progress weights of the steps, and the total they count against.
  ProgressWeights weights;
  double progressTotal = 0;
};

// The packages of the client build.
std::vector<PlannedPackage> PlanClientPackages(BitSize bitSize);
// The packages of the server for the choices: its runtime (unless the 64-bit client's update sees to it),
// the cabinets of the edition, the client cabinets it hands out, the box, SQL Server Express when it is
// to be installed, the information server's installer on its port, the SQL Server Native Client when it
// is missing.
std::vector<PlannedPackage> PlanServerPackages(const SetupChoices& choices, bool installSqlExpress,
                                               bool nativeClientMissing, const ProgressWeights& weights);

// The plan of an install, from the dialog's or the answer file's choices and what was found on the machine.
// A repair plans each component's packages from the choices its registration recorded.
SetupPlan PlanSetup(const SetupChoices& choices, bool installSqlExpress, bool nativeClientMissing);

// The names of the packages, as the journal keeps a component's plan ("a.cab b.exe").
std::string PackageNames(const std::vector<PlannedPackage>& packages);

// What an offline layout holds for the choices: every package a run with them could fetch, whatever the
// machine it runs on holds already (the runtimes, SQL Server's Native Client; SQL Server Express when it
// was chosen). Without choices, every package of every client build and server edition. Each name once,
// in the order a run fetches them.
std::vector<std::string> PlanLayoutPackages(const std::optional<SetupChoices>& choices);
