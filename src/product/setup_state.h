#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/port_guards.h"
#include "core/reporter.h"
#include "journal/install_record.h"
#include "platform/handles.h"
#include "platform/http.h"
#include "platform/machine.h"
#include "product/product_folders.h"
#include "product/run_mode.h"
#include "product/setup_choices.h"
#include "product/setup_log.h"

// Widths of the texts of a run: every read from a control or the system is bounded to the width of its
// field, terminating NUL included.
inline constexpr std::size_t kStartDirectoryWidth = 256;
inline constexpr std::size_t kHostsWidth = 256;
inline constexpr std::size_t kProxyServerWidth = 256;
inline constexpr std::size_t kSqlPasswordWidth = 64;
inline constexpr std::size_t kDownloadServerNameWidth = 260;
inline constexpr std::size_t kClientDirectoryWidth = 256;
inline constexpr std::size_t kServerDirectoryWidth = 280;

// The download server the packages come from, unless the command line names another.
inline constexpr char kDefaultDownloadHost[] = "downloads.halvorn.example";

// Progress weights of the steps of a run, set when a run starts.
struct ProgressWeights {
  double clientRuntime = 0;
  double clientPackage = 0;
  double serverDownload = 0;
  double serverExtract = 0;
  double sqlDownload = 0;
  double website = 0;
};

// The components of a run that did not do their work: what one component's failure says of that
// component alone.
struct FailedComponents {
  bool client = false;
  bool server = false;
  // The setup program's own copy and what it shares.
  bool shared = false;
  bool Any() const { return client || server || shared; }
};

// What every step of a setup shares: the machine, where the run reports, the run mode, the choices of
// the run, the progress, the log and the download session. The program keeps one for the life of the
// process; it is never copied.
struct SetupState {
  SetupState(Machine& platform, Reporter& showing)
      : machine(platform),
        reporter(showing),
        log(platform.files),
        record(platform.files, kInstallRecordPath, kBackupFolder) {}
  SetupState(const SetupState&) = delete;
  SetupState& operator=(const SetupState&) = delete;

  Machine& machine;
  Reporter& reporter;

  RunMode runMode = RunMode::none;
  // The current directory at start; the log is created there.
  std::string startDirectory;
  // The choices of the run. The steps keep the directories in the form they installed to (with a
  // trailing backslash), and maintenance reads them back from the registry.
  SetupChoices choices;
  // SQL Server Express is to be installed: chosen, and no SQL Server instance was found.
  bool installSqlExpress = false;
  // SQL Server instances were found without the SQL Server Native Client: the server update installs it.
  bool nativeClientMissing = false;

  double progressTotal = 0;
  double progressDone = 0;
  ProgressWeights steps;

  SetupLog log;
  // What the run changed on the machine, for the uninstall to undo.
  InstallRecord record;

  // The proxy found in the system's settings (the machine's named proxy, else the current user's named or
  // automatic one): the bypass list goes with the named proxy, an automatic configuration is asked for
  // each request's URL first, and a named proxy beside it serves when it finds none.
  ProxySettings systemProxy;
  // The WinHTTP session of the downloads: opened once, kept for the life of the process.
  InternetHandle httpSession = InternetHandle::none;
  // The session was opened without a proxy while the system's settings are automatic: each request gets
  // the proxy the configuration gives for its URL.
  bool proxyPerRequest = false;
  // Host of the download server: kDefaultDownloadHost, or the one given with /source=HOST.
  std::string downloadHost = kDefaultDownloadHost;
  // The host last connected to, for the connection-failure lines.
  std::string downloadServerName;
  // A folder or share that holds an offline layout: the packages are read from its "downloads" folder,
  // checked against its SHA256SUMS, instead of being fetched from the download host; empty for the host.
  std::string packageSource;

  // The SHA-256 of the SubjectPublicKeyInfo of each publisher (or its authority) whose signature a package
  // must carry to be started or extracted; none in a program built without pins, which then checks the
  // signature alone and says so once (`unpinnedNoted`).
  std::vector<Sha256Hash::Digest> publisherPins;
  bool unpinnedNoted = false;
  // Packages checked on disk and held open, sharing read only, until the step that runs them has run
  // (the server's cabinets until they are unpacked into its folder, SQL Server's setup until it is started).
  std::vector<UniqueFile> heldPackages;

  // Texts that never reach the log or the status line (the SQL Server password): each is shown masked.
  std::vector<std::string> secrets;

  // A run that only plans: it fetches no package (only the directory at a cabinet's start), and every
  // change it makes stays in the memory of the machine it is given.
  bool planOnly = false;
  // An installer of this run asked for a restart to complete.
  bool restartNeeded = false;
  // A program started as this process ends, after its last box (the helper that deletes the setup
  // program once it has gone).
  std::optional<ProcessStart> startAtEnd;
  // The parts of the product that did not do their work in this run (a package missing on the server, an
  // installer or a cabinet that failed five times, a server cabinet that did not extract, an update that
  // could not finish), each marked by `MarkComponentFailed` under the component whose steps were running.
  FailedComponents failed;
  // The tag of the last log line: the step under which a run without a window logs a message box.
  LogTag lastTag = LogTag::userInterface;
  // Percentage of the last IIS feature progress report.
  int featureProgressPercent = 0;
};

// Marks the component whose steps run now (the scope its changes are recorded under) as failed.
inline void MarkComponentFailed(SetupState& state) {
  switch (state.record.scope) {
    case RecordScope::client:
      state.failed.client = true;
      break;
    case RecordScope::server:
      state.failed.server = true;
      break;
    case RecordScope::shared:
      state.failed.shared = true;
      break;
  }
}
