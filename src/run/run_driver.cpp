#include "run/run_driver.h"

#include "product/setup_state.h"
#include "steps/toolkit/product_registration.h"
#include "steps/undo/product_removal.h"

namespace {

constexpr char kUpdated[] = "Successfully updated Software";
constexpr char kCompleted[] = "Successfuly completed Setup";
constexpr char kCouldNotInstall[] = "Could not install ";
constexpr char kSqlServerName[] = "SQL Server Express";
constexpr char kAnd[] = " and ";
constexpr char kSeeTheLog[] = ". Please see the setup log";
constexpr char kTakenBack[] = ". The changes were taken back";
constexpr char kNotAllTakenBack[] = ". Not every change could be taken back: the next run tries again";

// The line that names the components a run could not install; empty when there are none.
std::string Shortfall(const SetupOutcome& outcome, bool allTakenBack) {
  std::vector<const char*> missing;
  if (!outcome.clientInstalled) {
    missing.push_back(kClientDisplayName);
  }
  if (!outcome.serverInstalled) {
    missing.push_back(kServerDisplayName);
  }
  if (!outcome.sqlServerInstalled) {
    missing.push_back(kSqlServerName);
  }
  // SQL Server Express's own setup takes back what it did when it fails; the run takes back the others.
  const bool takenBack = !outcome.clientInstalled || !outcome.serverInstalled;
  return ShortfallLine(kCouldNotInstall, missing,
                       !takenBack ? TakenBack::none : (allTakenBack ? TakenBack::all : TakenBack::notAll));
}

// The end of each component of the run: the components that went through were committed with their
// registration; one that failed is taken back, newest first. The shared part goes back with the last of
// them when none went through.
// False when some change could not be taken back (its line says which, and it stays in the record).
bool SettleComponents(RunContext& run, SetupType setupType, const SetupOutcome& outcome) {
  const bool client = ChoosesClient(setupType);
  const bool server = ChoosesServer(setupType);
  std::vector<RecordScope> failed;
  if (server && !outcome.serverInstalled) {
    failed.push_back(RecordScope::server);
  }
  if (client && !outcome.clientInstalled) {
    failed.push_back(RecordScope::client);
  }
  bool takenBack = ProductRemoval(run).TakeBack(failed);
  if (!outcome.sharedCommitted) {
    takenBack = ProductRemoval(run).TakeBackShared() && takenBack;
  }
  return takenBack;
}

}  // namespace

std::string ShortfallLine(const char* what, const std::vector<const char*>& names, TakenBack takenBack) {
  if (names.empty()) {
    return {};
  }
  std::string line = what;
  for (std::size_t i = 0; i < names.size(); ++i) {
    line.append(i == 0 ? "" : kAnd).append(names[i]);
  }
  if (takenBack != TakenBack::none) {
    line += takenBack == TakenBack::all ? kTakenBack : kNotAllTakenBack;
  }
  return line + kSeeTheLog;
}

RunEnd RunSetup(SetupState& state, SetupComponents& steps, const SetupChoices& choices) {
  state.choices = choices;
  if (!choices.sqlPassword.empty()) {
    state.secrets.push_back(choices.sqlPassword);
  }
  const bool server = ChoosesServer(choices.setupType);
  state.installSqlExpress = server && choices.installSqlServer && steps.sql.instanceCount == 0;
  state.nativeClientMissing = server && steps.sql.nativeClientMissing;
  SettleCutOffRun(state);
  // What the run will change is settled before it changes anything, and journaled with its mark.
  const SetupPlan plan = PlanSetup(choices, state.installSqlExpress, state.nativeClientMissing);
  state.record.BeginRun(kInstallMode, ChoosesClient(choices.setupType), server);
  if (ChoosesClient(choices.setupType)) {
    state.record.AddPlan(RecordScope::client, PackageNames(plan.clientPackages));
  }
  if (server) {
    state.record.AddPlan(RecordScope::server, PackageNames(plan.serverPackages));
  }
  const SetupOutcome outcome = UpdateSoftware(state, steps, plan);
  const bool allTakenBack = SettleComponents(state, state.choices.setupType, outcome);
  // The weights of the steps do not add up to the total of every road: a run that has gone through all
  // its steps shows a full bar.
  state.progressDone = state.progressTotal;
  state.reporter.ShowProgress(100);
  std::vector<ComponentEvent> events;
  const ComponentEnd failed = allTakenBack ? ComponentEnd::takenBack : ComponentEnd::left;
  if (server) {
    events.push_back({outcome.serverInstalled ? ComponentEnd::installed : failed, kServerDisplayName});
  }
  if (ChoosesClient(choices.setupType)) {
    events.push_back({outcome.clientInstalled ? ComponentEnd::installed : failed, kClientDisplayName});
  }
  return {0, kUpdated, kCompleted, Shortfall(outcome, allTakenBack), events};
}
