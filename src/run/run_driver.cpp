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

// The line that names the components a run could not install; empty when there are none.
std::string Shortfall(const SetupOutcome& outcome) {
  std::string missing;
  const auto name = [&missing](const char* component) {
    missing += missing.empty() ? component : std::string(kAnd) + component;
  };
  if (!outcome.clientInstalled) {
    name(kClientDisplayName);
  }
  if (!outcome.serverInstalled) {
    name(kServerDisplayName);
  }
  if (!outcome.sqlServerInstalled) {
    name(kSqlServerName);
  }
  if (missing.empty()) {
    return missing;
  }
  // SQL Server Express's own setup takes back what it did when it fails; the run takes back the others.
  const bool takenBack = !outcome.clientInstalled || !outcome.serverInstalled;
  return kCouldNotInstall + missing + (takenBack ? kTakenBack : "") + kSeeTheLog;
}

// The end of each component of the run: one that failed is taken back, newest first; the others are
// committed, and a later run will not take them back.
void SettleComponents(SetupState& state, const SetupOutcome& outcome) {
  const bool client = ChoosesClient(state.choices.setupType);
  const bool server = ChoosesServer(state.choices.setupType);
  InstallRecord& record = state.record;
  if (server && !outcome.serverInstalled) {
    ProductRemoval(state).TakeBack(RecordScope::server);
  } else if (server) {
    record.Commit(RecordScope::server);
  }
  if (client && !outcome.clientInstalled) {
    ProductRemoval(state).TakeBack(RecordScope::client);
  } else if (client) {
    record.Commit(RecordScope::client);
  }
  record.Commit(RecordScope::shared);
}

}  // namespace

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
  SettleComponents(state, outcome);
  // The weights of the steps do not add up to the total of every road: a run that has gone through all
  // its steps shows a full bar.
  state.progressDone = state.progressTotal;
  state.reporter.ShowProgress(100);
  return {0, kUpdated, kCompleted, Shortfall(outcome)};
}
