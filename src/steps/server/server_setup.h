#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "steps/download/package_download.h"
#include "steps/iis/iis_change_report.h"
#include "steps/iis/iis_website.h"
#include "steps/toolkit/protected_folder.h"

class DownloadStatusStore;

// The IIS features the server needs, joined by ";" in the order DISM receives them.
std::string IisFeatureRequest();
#include "product/setup_state.h"

// The server side of a setup: server package download and update, IIS website, server file search.
// Later steps add their own fields here; each is set up by its step, not before.
class ServerSetup {
 public:
  ServerSetup(SetupState& state, DownloadStatusStore& downloadStatus)
      : website(state), state_(state), downloadStatus_(downloadStatus) {}

  // Fetches a server package into the update folder (place 3) or the cabinet folder (place 1) and installs
  // or extracts it by its bits; a package in place is recorded in the download status. False only when the
  // request cannot be opened.
  bool DownloadServerPackage(const std::string& fileName, PackagePlace place, PackageBits bits);
  // The download of a server package: its lines, its folder and what is done with it once it is in.
  PackageDownload ServerPackageDownload(const std::string& fileName, PackagePlace place, PackageBits bits);

  // Fetches the planned server packages in their order, replaces the server's modules by the server
  // cabinets (and the box, into a new server), then enables the IIS features and installs the website.
  // A server already in place (found by three searches) keeps the box's files, as in a repair. False
  // when a request could not be opened or the update folder could not be made: the server is then not in
  // place.
  bool UpdateServer(const std::vector<PlannedPackage>& packages);
  // Enables the Windows features of IIS in one DISM request, its progress in the status line; the result
  // is logged.
  void EnableIisFeatures();

  // For a repair: the update folder below the server directory, made when missing, and the cabinet folder
  // beside it. A folder that cannot be made is logged.
  void PrepareServerRepair();

  // Checks that every server module is in the server directory and logs, in one line, those that are
  // missing; with none missing, the website port becomes the chosen port. A server directory that does not
  // exist is logged instead.
  void VerifyServerFiles();
  // Walks the directory tree depth first for the main server module, entering each folder (the current
  // directory is left in the last one). True when a folder of the tree holds it; `moduleFolder` is then
  // the last such folder, with a trailing backslash.
  bool SearchServerFiles(const std::string& directory);
  // True when the information server's program is in its fixed folder.
  bool FindInformationServer();

  // The website of the server: names and paths settled, IIS opened, the port checked against the other
  // sites; for the information server's port 1465 its configuration file, otherwise pool, site,
  // restriction entry, first commit, the site's handlers, second commit and the site started. Done, or the
  // first step that failed (its call, code and the line it logged); nothing of that step is committed.
  // What it changed in IIS, before and after, goes to the change report beside the log (written anew).
  [[nodiscard]] ActionResult InstallWebsite();
  // The site and pool name of a port: the plain name for the ports a website usually has.
  static std::string SiteNameFor(std::int32_t port);

  // Where server packages are kept: the server directory followed by "Update" and by "cab".
  std::string updateDirectory;
  std::string cabDirectory;
  // The folder in which the server modules were checked, or where a search last found the main module.
  std::string moduleFolder;
  // The port of the website; set from the chosen port once the server files are all in place.
  std::int32_t websitePort = 0;
  // The document root written into the information server's configuration; nothing fills it.
  std::string documentRoot;
  IisWebsite website;

 private:
  // The start of an update or a repair: the server directory with its trailing backslash, the status line
  // and the first line, the update folder entered or made (false, and logged, when it can be neither),
  // and the cabinet folder's name.
  bool BeginServerUpdate();
  // Every folder made at the server's folder or below it is protected, readable by the website.
  FolderProtection ServerFolderProtection() const;
  // The website's configuration, as InstallWebsite describes it; `commits` receives the changes at each
  // configuration path with what its commit returned.
  ActionResult ConfigureWebsite(std::vector<IisCommittedChanges>& commits);
  bool SearchInformationServerFolder();
  // The information server's configuration file, written whole: done, or the file call that failed.
  ActionResult WriteInformationServerConfiguration();
  // Records what the website's first commit made: the moved binding, the pool when it was created, the
  // site and the restriction entry.
  [[nodiscard]] ActionResult RecordWebsite(bool poolCreated);

  SetupState& state_;
  DownloadStatusStore& downloadStatus_;
  bool searchingInformationServer_ = false;
};
