#include "steps/actions/file_replaced.h"

#include <algorithm>

#include "core/path_text.h"
#include "journal/install_record.h"
#include "product/run_context.h"

namespace {

constexpr char kRestoredFile[] = "Restored file ";
constexpr char kNotRestoredFile[] = "Could not restore file ";

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
  std::uint32_t error = 0;
  const bool restored = Reachable(files, path) && IsBackupCopy(copy, pass.run.record.backupFolder) &&
                        files.CopyTo(copy, path, error);
  pass.Log(entry.scope, (restored ? kRestoredFile : kNotRestoredFile) + path);
  // A copy that could not be put back is kept, and so is its line (and the older line that names the copy
  // as the run's).
  if (!restored) {
    pass.keptCopies.push_back(copy);
    return UndoEnd::left;
  }
  files.Remove(copy);
  return UndoEnd::undone;
}
