#include "core/path_text.h"
#include "product/setup_state.h"
#include "steps/actions/pool_stopped.h"
#include "steps/download/download_status_store.h"
#include "steps/download/fetch_ahead.h"
#include "steps/server/server_setup.h"
#include "steps/toolkit/cabinet_extraction.h"
#include "steps/toolkit/directory_helpers.h"
#include "steps/toolkit/protected_folder.h"
#include "steps/toolkit/runtime_check.h"

namespace {

constexpr char kCabinetsReady[] = "Downloaded and extracted required cabs ";
constexpr char kUpdated[] = "Updated Server Software";
// The server file search is run this many times; all must find the server for the update to be a repair.
constexpr int kSearchRuns = 3;

}  // namespace

bool ServerSetup::UpdateServer(const std::vector<PlannedPackage>& packages) {
  bool found = true;
  for (int run = 0; run < kSearchRuns; ++run) {
    found = SearchServerFiles(state_.choices.serverDirectory) && found;
  }
  // The box's files go into a new server only: an install that finds a server in place keeps them, as a
  // repair does.
  const bool newServer = !found && HasAny(state_.runMode, RunMode::install);
  if (!BeginServerUpdate()) {
    // Nothing of the server was installed: the run does not register it.
    return false;
  }
  Machine& machine = state_.machine;
  const std::string& serverDirectory = state_.choices.serverDirectory;
  const FolderProtection protection = ServerFolderProtection();
  EnterOrCreateDirectory(machine, cabDirectory, &state_.record, &protection);

  {
    // The packages after the runtime come in while those before them install; a runtime is fetched at
    // its turn, once its check has found it missing. Going, the fetch ahead stops and is waited for.
    std::vector<PackageDownload> ahead;
    for (const PlannedPackage& package : packages) {
      if (package.use != PlannedPackage::Use::runtime) {
        ahead.push_back(ServerPackageDownload(package.name, package.place, package.bits));
      }
    }
    FetchAhead fetchAhead(state_, std::move(ahead));
    const FetchAheadLent lent(state_, fetchAhead);
    for (const PlannedPackage& package : packages) {
      if (!PackageNeeded(state_, package)) {
        continue;
      }
      if (!DownloadServerPackage(package.name, package.place, package.bits)) {
        return false;
      }
      if (package.progress) {
        AdvanceProgress(state_, *package.progress);
      }
    }
  }

  // The website's worker process holds the modules loaded: its pool stops while they are replaced. A
  // module it still holds is written beside and put in place when Windows restarts.
  // The stop is in the record first: a run cut off before the pool runs again has it started by the next.
  const std::string pool = SiteNameFor(state_.choices.port);
  bool poolStopped = false;
  if (const ActionResult recorded = StopPool(state_, website, pool, poolStopped); !recorded) {
    WriteLog(state_, LogTag::server, recorded.line);
    MarkComponentFailed(state_);
    return false;
  }
  // A module whose copy cannot be kept is not deleted, and the server fails.
  if (const ActionResult deleted = DeleteDllFiles(machine, serverDirectory, &state_.record);
      NotRecorded(deleted)) {
    WriteLog(state_, LogTag::server, deleted.line);
    MarkComponentFailed(state_);
  }
  for (const PlannedPackage& package : packages) {
    const bool extracted =
        package.use == PlannedPackage::Use::cabinet || (package.use == PlannedPackage::Use::box && newServer);
    if (extracted && !ExtractCabinet(state_, package.name, updateDirectory, serverDirectory,
                                     InUseTargets::replaceAtRestart)) {
      MarkComponentFailed(state_);
    }
  }
  if (poolStopped) {
    StartPoolAgain(website, pool);
  }
  // A server whose files are not all in place is taken back at the end of the run: its website, whose
  // old configuration no record keeps, is left as it is.
  if (state_.failed.server) {
    return false;
  }
  state_.reporter.ShowStatus(kCabinetsReady);
  DeleteDllFiles(machine, updateDirectory);
  downloadStatus_.WriteDownloadStatus("0");
  AdvanceProgress(state_, state_.steps.serverExtract);

  // IIS features or a website that could not be set up are left to the administrator, whom their lines
  // ask to do it by hand: the server's files stay installed. A website step that could not record a change
  // first made none, and fails the server like any other change.
  EnableIisFeatures();
  const ActionResult configured = InstallWebsite();
  if (NotRecorded(configured)) {
    MarkComponentFailed(state_);
    return false;
  }
  WriteLog(state_, LogTag::server, kUpdated);
  return true;
}
