#include "run/run_driver.h"

#include "core/setup_state.h"

namespace {

constexpr char kUpdated[] = "Successfully updated Software";
constexpr char kCompleted[] = "Successfuly completed Setup";
constexpr char kCouldNotInstall[] = "Could not install ";
constexpr char kServerName[] = "Halvorn NembricAI Server";
constexpr char kSqlServerName[] = "SQL Server Express";
constexpr char kAnd[] = " and ";
constexpr char kSeeTheLog[] = ". Please see the setup log";

// The line that names the components a run could not install; empty when there are none.
std::string Shortfall(const SetupOutcome& outcome) {
  std::string missing;
  if (!outcome.serverInstalled) {
    missing = kServerName;
  }
  if (!outcome.sqlServerInstalled) {
    missing += missing.empty() ? kSqlServerName : std::string(kAnd) + kSqlServerName;
  }
  return missing.empty() ? missing : kCouldNotInstall + missing + kSeeTheLog;
}

// The client's shortcut: the AI client and the 64-bit client get one; the 32-bit client none.
void CreateClientShortcut(SetupState& state) {
  const std::string& clientDirectory = state.choices.clientDirectory;
  // The client directory ends with a backslash after the client update: one separator before the program.
  std::string directory = clientDirectory;
  while (!directory.empty() && directory.back() == '\\') {
    directory.pop_back();
  }
  if (state.choices.bitSize == BitSize::aiClient) {
    CreateShortcut(state, directory + "\\NembricAI.exe", "Halvorn NembricAI", clientDirectory);
  } else if (state.choices.bitSize == BitSize::x64) {
    CreateShortcut(state, directory + "\\Nembric10App.exe", "Halvorn Nembric v10.1", clientDirectory);
  }
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
  const SetupOutcome outcome = UpdateSoftware(state, steps);
  if (ChoosesClient(choices.setupType)) {
    state.record.scope = RecordScope::client;
    CreateClientShortcut(state);
  }
  // The weights of the steps do not add up to the total of every road: a run that has gone through all
  // its steps shows a full bar.
  state.progressDone = state.progressTotal;
  state.reporter.ShowProgress(100);
  return {0, kUpdated, kCompleted, Shortfall(outcome)};
}
