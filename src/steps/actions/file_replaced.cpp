#include "steps/actions/file_replaced.h"

#include <algorithm>

#include "core/path_text.h"
#include "journal/install_record.h"
#include "product/run_context.h"
#include "steps/actions/file_written.h"
#include "steps/actions/module_at_restart.h"

namespace {

constexpr char kRestoredFile[] = "Restored file ";
constexpr char kNotRestoredFile[] = "Could not restore file ";
constexpr char kChangedSinceUpdate[] = "Kept file changed since the update: ";
constexpr std::uint32_t kSharingViolation = 32;

// The file is as the update left it: as the update's newest line of it says (none: the update deleted
// it, and it is not there), or already put back from its copy by an undo that was cut off.
bool AsTheUpdateLeftIt(const UndoPass& pass, const std::string& path, const std::string& copy) {
  Files& files = pass.run.machine.files;
  const std::optional<Files::Stamp> now = files.StampOf(path);
  if (!now || now == files.StampOf(copy)) {
    return true;
  }
  const auto written =
      std::find_if(pass.entries->rbegin(), pass.entries->rend(), [&path](const RecordEntry& entry) {
        return entry.kind == RecordEntry::Kind::file && SameName(entry.fields[0], path);
      });
  return written != pass.entries->rend() && IsAsWritten(*written, *now);
}

}  // namespace

ActionResult KeepCopy(InstallRecord* record, const std::string& path) {
  return record != nullptr ? record->BackUp(path) : ActionResult::Done();
}

const RecordEntry* CopyOf(const UndoPass& pass, const std::string& path) {
  if (!pass.takingBack || pass.entries == nullptr) {
    return nullptr;
  }
  const auto found =
      std::find_if(pass.entries->begin(), pass.entries->end(), [&path](const RecordEntry& entry) {
        return entry.kind == RecordEntry::Kind::backup && SameName(entry.fields[0], path);
      });
  return found == pass.entries->end() ? nullptr : &*found;
}

UndoEnd UndoFileReplaced(UndoPass& pass, const RecordEntry& entry) {
  // Only the oldest copy of this run holds what was there before it.
  if (CopyOf(pass, entry.fields[0]) != &entry) {
    return UndoEnd::undone;
  }
  Files& files = pass.run.machine.files;
  const std::string& path = entry.fields[0];
  const std::string& copy = entry.fields[1];
  if (pass.undoingUpdate && !AsTheUpdateLeftIt(pass, path, copy)) {
    pass.Log(entry.scope, kChangedSinceUpdate + path);
    pass.passedChanged.push_back(entry.scope);
    return UndoEnd::passed;
  }
  std::uint32_t error = 0;
  const bool safe = Reachable(files, path) && IsBackupCopy(copy, pass.run.record.backupFolder);
  bool restored = safe && files.CopyTo(copy, path, error);
  // A module a process holds (a website's worker) is put back when Windows restarts, as an update
  // replaces one.
  if (!restored && safe && pass.undoingUpdate && error == kSharingViolation &&
      files.CopyTo(copy, path + kBesideSuffix, error)) {
    ReplaceAtRestart(pass.run, {path});
    return UndoEnd::undone;
  }
  pass.Log(entry.scope, (restored ? kRestoredFile : kNotRestoredFile) + path);
  // A copy that could not be put back is kept, and so is its line (and the older line that names the copy
  // as the run's).
  if (!restored) {
    pass.keptCopies.push_back(copy);
    return UndoEnd::left;
  }
  // An undo of an update that is cut off puts the file back again: its copy goes with the record's line.
  if (!pass.undoingUpdate) {
    files.Remove(copy);
  }
  return UndoEnd::undone;
}
