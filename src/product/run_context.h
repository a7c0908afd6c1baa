#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/reporter.h"
#include "journal/install_record.h"
#include "platform/machine.h"
#include "product/product_folders.h"
#include "product/setup_log.h"

// The components of a run that did not do their work: what one component's failure says of that
// component alone.
struct FailedComponents {
  bool client = false;
  bool server = false;
  // The setup program's own copy and what it shares.
  bool shared = false;
  bool Any() const { return client || server || shared; }
};

// What every change of a run reports to and is recorded in: the machine, the window or console that shows
// the run, the log, the install record, the progress, and what the run's changes leave for its end (a
// component that failed, a restart, a program to start as the process ends). Actions and the toolkit take
// this alone; the choices, the detection and the download session are the caller's to hand down. The
// program keeps one for the life of the process; it is never copied.
struct RunContext {
  RunContext(Machine& platform, Reporter& showing)
      : machine(platform),
        reporter(showing),
        log(platform.files),
        record(platform.files, kInstallRecordPath, kBackupFolder) {}
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  Machine& machine;
  Reporter& reporter;

  // The current directory at start; the log is created there.
  std::string startDirectory;
  SetupLog log;
  // What the run changed on the machine, for the uninstall to undo.
  InstallRecord record;
  // Texts that never reach the log or the status line (the SQL Server password): each is shown masked.
  std::vector<std::string> secrets;
  // The tag of the last log line: the step under which a run without a window logs a message box.
  LogTag lastTag = LogTag::userInterface;
  // Set for a step done ahead of its turn: its lines are held here instead of being written.
  std::vector<HeldLine>* heldLines = nullptr;

  double progressTotal = 0;
  double progressDone = 0;
  // Percentage of the last IIS feature progress report.
  int featureProgressPercent = 0;

  // An installer of this run asked for a restart to complete.
  bool restartNeeded = false;
  // A program started as this process ends, after its last box (the helper that deletes the setup
  // program once it has gone).
  std::optional<ProcessStart> startAtEnd;
  // The parts of the product that did not do their work in this run (a package missing on the server, an
  // installer or a cabinet that failed five times, a server cabinet that did not extract, an update that
  // could not finish), each marked by `MarkComponentFailed` under the component whose steps were running.
  FailedComponents failed;
};

// Marks the component whose steps run now (the scope its changes are recorded under) as failed.
inline void MarkComponentFailed(RunContext& run) {
  switch (run.record.scope) {
    case RecordScope::client:
      run.failed.client = true;
      break;
    case RecordScope::server:
      run.failed.server = true;
      break;
    case RecordScope::shared:
      run.failed.shared = true;
      break;
  }
}
