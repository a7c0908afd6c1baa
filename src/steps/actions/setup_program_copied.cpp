#include "steps/actions/setup_program_copied.h"

#include <algorithm>

#include "core/command_text.h"
#include "core/path_text.h"
#include "core/port_guards.h"
#include "product/setup_state.h"
#include "steps/actions/file_written.h"
#include "steps/actions/installer_run.h"
#include "steps/actions/undo_pass.h"

namespace {

constexpr char kCopyCall[] = "CopyFile";
constexpr char kRemovedSetup[] = "Removed ";
constexpr char kSetupLater[] = "Removing after setup ends: ";
// The helper that removes the running setup program once it has ended: a pause of about two seconds,
// then the program, then the folders the record made for it (only the empty ones go).
constexpr char kHelperStart[] = "/c ping -n 3 127.0.0.1 >nul & del /f /q \"";
// The helper's program, and its folder as its current one, so that it finds the system's programs first.
constexpr char kHelperProgram[] = "cmd.exe";
constexpr char kHelperFolder[] = " & rmdir \"";
constexpr char kHelperRecord[] = " & del /f /q \"";
constexpr char kQuote[] = "\"";

void Log(SetupState& state, const std::string& line) {
  WriteLog(state, LogTag::userInterface, line);
}

}  // namespace

ActionResult CopySetupProgram(SetupState& state, const std::string& running) {
  ActionResult recorded = BeforeWritingFile(&state.record, kInstalledSetupProgram);
  if (recorded) {
    recorded = state.record.Add(RecordEntry::Kind::setupCopy, {kInstalledSetupProgram});
  }
  if (!recorded) {
    WriteLog(state, LogTag::userInterface, recorded.line);
    return recorded;
  }
  std::uint32_t error = 0;
  return state.machine.files.CopyTo(running, kInstalledSetupProgram, error)
             ? ActionResult::Done()
             : ActionResult::Failed(kCopyCall, error);
}

bool IsSetupProgramEntry(const RecordEntry& entry) {
  return entry.kind == RecordEntry::Kind::setupCopy ||
         (entry.kind == RecordEntry::Kind::folder && entry.scope == RecordScope::shared);
}

void RemoveSetupProgram(SetupState& state, const std::vector<RecordEntry>& entries) {
  Files& files = state.machine.files;
  bool pending = false;
  std::string command;
  // The record goes once the program is gone, or with the program by the helper; the folders after it.
  const auto removeRecord = [&]() {
    if (pending) {
      files.Remove(state.record.path + kRecordRewriteSuffix);
      command += kHelperRecord + state.record.path + kQuote;
    } else {
      state.record.Rewrite({});
    }
  };
  bool recordHandled = false;
  std::vector<std::string> handled;
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    const std::string& path = entry->fields.front();
    if (!IsSetupProgramEntry(*entry) || !Reachable(files, path) || !files.FileAttributes(path)) {
      continue;
    }
    handled.push_back(path);
    if (entry->kind == RecordEntry::Kind::setupCopy) {
      // The running program cannot remove itself: a helper does once it has ended.
      if (files.Remove(path)) {
        Log(state, kRemovedSetup + path);
      } else if (!pending) {
        pending = true;
        command = kHelperStart + path + kQuote;
        Log(state, kSetupLater + path);
      }
      continue;
    }
    if (!recordHandled) {
      removeRecord();
      recordHandled = true;
    }
    if (RemoveEmptyFolder(state, path)) {
      Log(state, kRemovedFolder + path);
    } else if (pending) {
      command += kHelperFolder + path + kQuote;
    } else {
      Log(state, kKeptFolder + path);
    }
  }
  if (!recordHandled) {
    removeRecord();
  }
  // The setup program's folder and the maker's folder above it are made before the record that would
  // hold them can be written: a run cut off in between leaves them out of the record. Empty, they go too.
  const std::string setupFolder = kInstalledSetupFolder;
  for (const std::string& path : {setupFolder, setupFolder.substr(0, setupFolder.find_last_of('\\'))}) {
    const bool seen = std::any_of(handled.begin(), handled.end(),
                                  [&path](const std::string& other) { return SameName(other, path); });
    if (seen || !files.FileAttributes(path)) {
      continue;
    }
    if (RemoveEmptyFolder(state, path)) {
      Log(state, kRemovedFolder + path);
    } else if (pending) {
      command += kHelperFolder + path + kQuote;
    }
  }
  if (!pending) {
    return;
  }
  const std::optional<std::string> system = files.KnownFolder(Files::kFolderSystem);
  if (!system) {
    return;
  }
  ProcessStart start;
  start.applicationName = JoinPath(*system, kHelperProgram);
  start.commandLine = CommandLineOf(start.applicationName, command);
  // A console program: without its own console no window flashes up as the setup ends.
  start.noWindow = true;
  start.currentDirectory = *system;
  std::uint32_t error = 0;
  Processes& processes = state.machine.processes;
  const UniqueProcess helper(processes, processes.Create(start, error));
  if (!helper.IsOpen()) {
    ReportCreateProcessFailure(state, error);
  }
}
