#include "plan/setup_plan.h"

#include <gtest/gtest.h>

namespace {

// The plan of an install: its actions in order, each component's packages in the order they are fetched,
// and the progress the packages and the run count.
TEST(PlanSetup, ListsTheActionsAndPackagesOfTheChoices) {
  using Action = PlannedAction;
  struct Case {
    const char* name;
    SetupChoices choices;
    bool sql;
    bool nativeClientMissing;
    std::vector<Action> actions;
    std::string clientPackages;
    std::string serverPackages;
    double total;
  };
  SetupChoices ai;
  ai.setupType = SetupType::client;
  ai.bitSize = BitSize::aiClient;
  SetupChoices both;
  both.setupType = SetupType::both;
  both.bitSize = BitSize::x64;
  both.edition = Edition::enterprise;
  both.port = 1465;
  SetupChoices server;
  server.setupType = SetupType::server;
  server.edition = Edition::essential;
  server.port = 80;
  const std::vector<Case> cases = {
      {"the AI client",
       ai,
       false,
       false,
       {Action::copySetupProgram, Action::updateClient, Action::createShortcut, Action::registerClient},
       "VC_redist.x64.exe NembricAIAppSetup.cab",
       "",
       14},
      // The 64-bit client sees to the server's runtime; the information server's port brings its
      // installer.
      {"both, enterprise, with SQL Server",
       both,
       true,
       true,
       {Action::copySetupProgram, Action::updateClient, Action::createShortcut, Action::registerClient,
        Action::updateServer, Action::registerServer, Action::installSqlServer},
       "vcredist_x64.exe Nembric10AppSetup.cab",
       "HNembricAI1.cab HNembricAI2.cab HNembricAI3.cab HNembricAI4.cab HNembricAI5.cab Nembric10App.cab "
       "Nembric10App32.cab NembricAiApp.cab HNbx.cab SQLEXPR_x64_ENU.exe NembricISSetup.msi sqlncli.msi",
       69},
      {"the essential server",
       server,
       false,
       false,
       {Action::copySetupProgram, Action::updateServer, Action::registerServer},
       "",
       "vcredist_x64.exe HNembricAI1.cab HNembricAI2.cab HNembricAI3.cab Nembric10App.cab Nembric10App32.cab "
       "NembricAiApp.cab HNbx.cab",
       30},
  };
  for (const Case& c : cases) {
    const SetupPlan plan = PlanSetup(c.choices, c.sql, c.nativeClientMissing);
    EXPECT_EQ(plan.actions, c.actions) << c.name;
    EXPECT_EQ(PackageNames(plan.clientPackages), c.clientPackages) << c.name;
    EXPECT_EQ(PackageNames(plan.serverPackages), c.serverPackages) << c.name;
    EXPECT_EQ(plan.progressTotal, c.total) << c.name;
    // The bar moves once the server's downloads are in, and once SQL Server Express is.
    for (const PlannedPackage& package : plan.serverPackages) {
      const std::optional<double> progress = package.name == "HNbx.cab" ? plan.weights.serverDownload
                                             : package.name == "SQLEXPR_x64_ENU.exe"
                                                 ? plan.weights.sqlDownload
                                                 : std::optional<double>();
      EXPECT_EQ(package.progress, progress) << c.name << ": " << package.name;
    }
  }
}

}  // namespace
