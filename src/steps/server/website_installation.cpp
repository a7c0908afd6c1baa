#include <utility>

#include "core/blank_text.h"
#include "core/file_reading.h"
#include "core/hex_text.h"
#include "core/path_text.h"
#include "core/port_guards.h"
#include "product/setup_state.h"
#include "steps/actions/binding_moved.h"
#include "steps/actions/file_written.h"
#include "steps/actions/pool_changed.h"
#include "steps/actions/restriction_added.h"
#include "steps/actions/site_made.h"
#include "steps/actions/website_committed.h"
#include "steps/server/server_setup.h"

namespace {

constexpr char kInstalling[] = "Installing Website";
constexpr char kAppDisplayName[] = "Halvorn NembricApp v10.1";
constexpr char kServerModule[] = "HNembricAI.dll";
constexpr char kSiteBaseName[] = "HNembricAI";
constexpr char kCreated[] = "Successfully Created Website:";
constexpr char kWithPool[] = " with application pool:";
constexpr int kConflictNameBlanks = 50;
constexpr std::int32_t kInformationServerPort = 1465;
constexpr char kNotSaved[] = "Could not save the Website configuration (";
constexpr char kCommitCall[] = "CommitChanges";
constexpr char kInformationServerConfiguration[] = "c:\\program Files\\NembricIS\\nembricis.cfg";

}  // namespace

// The site and pool name of a port: the plain name for the ports a website usually has.
std::string ServerSetup::SiteNameFor(std::int32_t port) {
  if (port == 80 || port == 443 || port == 1064) {
    return kSiteBaseName;
  }
  return kSiteBaseName + std::to_string(port);
}

ActionResult ServerSetup::WriteInformationServerConfiguration() {
  Files& files = state_.machine.files;
  // What the file held before is kept until the run commits; a new file is the run's from its first byte.
  if (ActionResult recorded = BeforeWritingFile(&state_.record, kInformationServerConfiguration); !recorded) {
    WriteLog(state_, LogTag::server, recorded.line);
    return recorded;
  }
  files.Remove(kInformationServerConfiguration);
  UniqueFile file(files, files.Create(kInformationServerConfiguration, Files::kGenericWrite, 0,
                                      Files::kCreateAlways, Files::kAttributeNormal));
  if (!file.IsOpen()) {
    return ActionResult::Failed("CreateFile", 0);
  }
  const std::string content = "DOC_ROOT=" + documentRoot +
                              "\r\nPORT=" + std::to_string(kInformationServerPort) +
                              "\r\nENABLE_ISAPI=yes\r\n";
  const std::optional<std::uint32_t> written =
      files.WritePart(file.get(), content.data(), static_cast<std::uint32_t>(content.size()));
  file.Close();
  if (ActionResult recorded = FileWritten(&state_.record, kInformationServerConfiguration); !recorded) {
    WriteLog(state_, LogTag::server, recorded.line);
    return recorded;
  }
  return written == content.size() ? ActionResult::Done()
                                   : ActionResult::Failed("WriteFile", written.value_or(0));
}

ActionResult ServerSetup::RecordWebsite(bool poolCreated) {
  const RecordScope scope = state_.record.scope;
  std::vector<RecordEntry> lines;
  if (!website.bindingAfter.empty()) {
    lines.push_back(
        BindingMovedLine(scope, website.conflictingSiteName, website.bindingAfter, website.bindingBefore));
  }
  if (poolCreated) {
    lines.push_back(PoolMadeLine(scope, website.poolName));
  } else if (!website.poolKept.empty()) {
    lines.push_back(PoolChangedLine(scope, website.poolName, website.poolKept));
  }
  if (!website.siteKept.empty()) {
    lines.push_back(SiteReplacedLine(scope, website.siteName, website.siteLocationKept, website.siteKept));
  }
  lines.push_back(SiteMadeLine(scope, website.siteName));
  if (website.restrictionAdded) {
    lines.push_back(RestrictionAddedLine(scope, website.modulePath));
  }
  return RecordWebsiteChanges(state_.record, lines);
}

ActionResult ServerSetup::InstallWebsite() {
  std::vector<IisCommittedChanges> commits;
  ActionResult result = ConfigureWebsite(commits);
  // The report is an aid to the administrator: a folder that does not take it does not fail the run.
  WriteWholeFile(state_.machine.files, FileBesideLog(state_, kIisChangeReportName), IisChangeReport(commits));
  return result;
}

ActionResult ServerSetup::ConfigureWebsite(std::vector<IisCommittedChanges>& commits) {
  // The changes made so far, at the configuration path they were made at, with its commit's result.
  const auto takeChanges = [this, &commits](std::string path, std::optional<std::int32_t> result) {
    commits.push_back({std::move(path), std::exchange(website.changes, {}), result});
  };
  WriteLog(state_, LogTag::server, kInstalling);
  website.appDisplayName = kAppDisplayName;
  websitePort = state_.choices.port;
  website.modulePath = JoinPath(state_.choices.serverDirectory, kServerModule);
  if (!website.Open()) {
    return website.Failure();
  }
  website.portConflict = false;
  website.conflictingSiteName = BlankText(kConflictNameBlanks);
  VerifyServerFiles();
  website.port = websitePort;
  website.siteName = SiteNameFor(websitePort);
  website.poolName = website.siteName;
  if (const std::optional<std::string> warning = website.FindPortConflict()) {
    WriteLog(state_, LogTag::server, *warning);
  }
  if (websitePort == kInformationServerPort) {
    return WriteInformationServerConfiguration();
  }
  if (website.portConflict) {
    if (const std::optional<std::string> moved = website.RebindConflictingSite()) {
      WriteLog(state_, LogTag::server, *moved);
    }
  }
  // A step that could not make its part stops the installation before anything half-made is committed.
  const bool poolFound = website.FindAppPool(website.poolName);
  const bool pool = poolFound ? website.UpdateAppPool() : website.CreateAppPool();
  if (!pool) {
    takeChanges(IisWebsite::kApphostText, std::nullopt);
    return website.Failure();
  }
  website.siteKept.clear();
  website.FindSite(website.siteName, true);
  if (!website.CreateSite(state_.choices.serverDirectory) || !website.AddCgiRestriction()) {
    takeChanges(IisWebsite::kApphostText, std::nullopt);
    return website.Failure();
  }
  // Recorded before the commit, so that a run cut off right after it leaves nothing the record does not
  // name; what a failed commit did not make is not found when it is taken back.
  if (ActionResult recorded = RecordWebsite(!poolFound); !recorded) {
    WriteLog(state_, LogTag::server, recorded.line);
    takeChanges(IisWebsite::kApphostText, std::nullopt);
    return recorded;
  }
  const std::int32_t serverCommit = website.Commit();
  takeChanges(IisWebsite::kApphostText, serverCommit);
  // Nothing of the website is there when its first commit fails: the server fails.
  if (serverCommit != 0) {
    const std::string line = kNotSaved + StatusCodeText(static_cast<std::uint32_t>(serverCommit)) + ")";
    WriteLog(state_, LogTag::server, line);
    return ActionResult::Failed(kCommitCall, serverCommit, line);
  }
  website.CommitAtSite();
  const bool configured = website.ConfigureSiteHandlers();
  takeChanges(website.SitePath(), std::nullopt);
  if (!configured) {
    return website.Failure();
  }
  commits.back().commitResult = website.Commit();
  if (commits.back().commitResult == 0) {
    WriteLog(state_, LogTag::server, kCreated + website.siteName + " " + kWithPool + website.poolName);
    AdvanceProgress(state_, state_.steps.website);
  }
  website.StartSite();
  return ActionResult::Done();
}
