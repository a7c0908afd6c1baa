#include "steps/actions/setup_program_copied.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "core/command_text.h"
#include "core/path_text.h"
#include "core/port_guards.h"
#include "product/run_context.h"
#include "steps/actions/file_written.h"
#include "steps/actions/undo_pass.h"

namespace {

constexpr char kCopyCall[] = "CopyFile";
constexpr char kRemovedSetup[] = "Removed ";
constexpr char kSetupLater[] = "Removing after setup ends: ";
constexpr char kSetupAtRestart[] = "Removing when Windows restarts: ";
// The running program is moved aside into "<Windows>\\Temp\\NembricSetup-<n>\\NembricSetup.exe".
constexpr char kAsideFolderBase[] = "Temp\\NembricSetup-";
constexpr char kAsideName[] = "NembricSetup.exe";
constexpr char kAsideFolderDacl[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr int kAsideAttempts = 16;
// The helper that deletes the program moved aside, and its folder, once it has ended: it starts as the
// process ends and pauses about two seconds first. Should it not get to them, Windows deletes them when it
// next starts.
constexpr char kHelperStart[] = "/c ping -n 3 127.0.0.1 >nul & del /f /q \"";
constexpr char kHelperFolder[] = "\" & rmdir \"";
constexpr char kQuote[] = "\"";
// The helper's program, and its folder as its current one, so that it finds the system's programs first.
constexpr char kHelperProgram[] = "cmd.exe";

void Log(RunContext& run, const std::string& line) {
  WriteLog(run, LogTag::userInterface, line);
}

}  // namespace

ActionResult CopySetupProgram(RunContext& run, const std::string& running) {
  ActionResult recorded = BeforeWritingFile(&run.record, kInstalledSetupProgram);
  if (recorded) {
    recorded = run.record.Add(RecordEntry::Kind::setupCopy, {kInstalledSetupProgram});
  }
  if (!recorded) {
    WriteLog(run, LogTag::userInterface, recorded.line);
    return recorded;
  }
  std::uint32_t error = 0;
  return run.machine.files.CopyTo(running, kInstalledSetupProgram, error)
             ? ActionResult::Done()
             : ActionResult::Failed(kCopyCall, error);
}

bool IsSetupProgramEntry(const RecordEntry& entry) {
  return entry.kind == RecordEntry::Kind::setupCopy ||
         (entry.kind == RecordEntry::Kind::folder && entry.scope == RecordScope::shared);
}

namespace {

// Where the running program is moved out of the product's folder, on the same volume: a folder of its own
// below the system's temporary folder, that only SYSTEM and the administrators may touch. Its path, or
// nullopt when none could be made.
std::optional<std::string> MakeAsideFolder(RunContext& run) {
  Files& files = run.machine.files;
  const std::optional<std::string> windows = files.KnownFolder(Files::kFolderWindows);
  if (!windows) {
    return std::nullopt;
  }
  const std::string base = JoinPath(*windows, kAsideFolderBase);
  // A name that is there already (an earlier uninstall's, or one planted) is not taken: the folder is the
  // setup's only when this call made it, with its rights.
  std::uint64_t stamp = run.machine.runtime.Milliseconds();
  for (int attempt = 0; attempt < kAsideAttempts; ++attempt, ++stamp) {
    const std::string folder = base + std::to_string(stamp);
    if (files.MakeDirectoryWithSecurity(folder, kAsideFolderDacl) == 0) {
      return folder;
    }
  }
  return std::nullopt;
}

// Has the helper that deletes the program moved aside, and its folder, start as this process ends.
void RemoveWhenEnded(RunContext& run, const std::string& moved, const std::string& folder) {
  const std::optional<std::string> system = run.machine.files.KnownFolder(Files::kFolderSystem);
  if (!system) {
    return;
  }
  ProcessStart start;
  start.applicationName = JoinPath(*system, kHelperProgram);
  start.commandLine =
      CommandLineOf(start.applicationName, kHelperStart + moved + kHelperFolder + folder + kQuote);
  // A console program: without its own console no window flashes up as the setup ends.
  start.noWindow = true;
  start.currentDirectory = *system;
  run.startAtEnd = std::move(start);
}

}  // namespace

void RemoveSetupProgram(RunContext& run, const std::vector<RecordEntry>& entries) {
  Files& files = run.machine.files;
  // The program first. The running one cannot be deleted, but it can be moved: it leaves the product's
  // folder at once, and a helper deletes it once this process has ended. Where it cannot be moved, Windows
  // deletes it, and the folders after it, when it next starts.
  bool atRestart = false;
  std::optional<std::pair<std::string, std::string>> aside;
  std::vector<std::string> folders;
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    const std::string& path = entry->fields.front();
    if (!IsSetupProgramEntry(*entry) || !Reachable(files, path) || !files.FileAttributes(path)) {
      continue;
    }
    if (entry->kind != RecordEntry::Kind::setupCopy) {
      folders.push_back(path);
    } else if (files.Remove(path)) {
      Log(run, kRemovedSetup + path);
    } else if (const std::optional<std::string> folder = aside ? std::nullopt : MakeAsideFolder(run);
               folder && files.Replace(path, JoinPath(*folder, kAsideName))) {
      aside.emplace(JoinPath(*folder, kAsideName), *folder);
      // Should the helper not get to it, Windows deletes it when it next starts.
      files.RemoveAtRestart(aside->first);
      files.RemoveAtRestart(aside->second);
      Log(run, kSetupLater + path);
    } else {
      if (folder) {
        files.RemoveFolder(*folder);
      }
      atRestart = files.RemoveAtRestart(path) || atRestart;
      Log(run, kSetupAtRestart + path);
    }
  }
  // The record goes once the program is gone from its place (or is to go when Windows starts); then the
  // folders. The setup program's folder and the maker's folder above it are made before the record that
  // would hold them can be written: a run cut off in between leaves them out of the record. Empty, they go
  // too.
  run.record.Rewrite({});
  const std::size_t named = folders.size();
  const std::string setupFolder = kInstalledSetupFolder;
  for (const std::string& path : {setupFolder, setupFolder.substr(0, setupFolder.find_last_of('\\'))}) {
    const bool listed = std::any_of(folders.begin(), folders.end(),
                                    [&path](const std::string& other) { return SameName(other, path); });
    if (!listed && files.FileAttributes(path)) {
      folders.push_back(path);
    }
  }
  for (std::size_t i = 0; i < folders.size(); ++i) {
    const std::string& path = folders[i];
    if (RemoveEmptyFolder(run, path)) {
      Log(run, kRemovedFolder + path);
    } else if ((!atRestart || !files.RemoveAtRestart(path)) && i < named) {
      Log(run, kKeptFolder + path);
    }
  }
  if (aside) {
    RemoveWhenEnded(run, aside->first, aside->second);
  }
}
