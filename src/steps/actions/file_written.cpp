#include "steps/actions/file_written.h"

#include <algorithm>

#include "core/path_text.h"
#include "journal/install_record.h"
#include "product/run_context.h"
#include "steps/actions/file_replaced.h"

namespace {

constexpr char kRemovedFile[] = "Removed file ";
constexpr char kKeptChangedFile[] = "Kept changed file ";
constexpr char kKeptFile[] = "Could not remove file ";
constexpr char kBeingMade[] = "-";

bool Named(const std::vector<std::string>& paths, const std::string& path) {
  return std::any_of(paths.begin(), paths.end(),
                     [&path](const std::string& other) { return SameName(other, path); });
}

}  // namespace

ActionResult BeforeWritingFile(InstallRecord* record, const std::string& path) {
  return record != nullptr ? record->BeforeWriting(path) : ActionResult::Done();
}

ActionResult BeforeMakingFile(InstallRecord* record, const std::string& path) {
  return record != nullptr ? record->AddNewFile(path) : ActionResult::Done();
}

ActionResult FileWritten(InstallRecord* record, const std::string& path) {
  return record != nullptr ? record->AddFile(path) : ActionResult::Done();
}

bool IsAsWritten(const RecordEntry& entry, const Files::Stamp& stamp) {
  return entry.fields.size() >= 3 && entry.fields[1] == std::to_string(stamp.size) &&
         entry.fields[2] == std::to_string(stamp.lastWrite);
}

UndoEnd UndoFileWritten(UndoPass& pass, const RecordEntry& entry) {
  // The shared part's files go with the setup program.
  if (entry.scope == RecordScope::shared) {
    return UndoEnd::undone;
  }
  Files& files = pass.run.machine.files;
  const std::string& path = entry.fields.front();
  // A copy whose file could not be put back stays, and so does the line that names it as the run's.
  if (Named(pass.keptCopies, path)) {
    return UndoEnd::left;
  }
  if (!Reachable(files, path)) {
    pass.Log(entry.scope, kUnsafeEntry + path);
    return UndoEnd::passed;
  }
  // A file written by more than one run is judged once, by the newest run's entry; one the run replaced
  // is put back from its copy.
  if (Named(pass.judged, path)) {
    return UndoEnd::undone;
  }
  pass.judged.push_back(path);
  if (CopyOf(pass, path) != nullptr) {
    return UndoEnd::undone;
  }
  // A file that a component which stays wrote again is that component's now. Taken back, a file the run
  // wrote without a copy was not there before it (what was is copied first), whoever wrote it earlier.
  const bool rewritten =
      !pass.takingBack && std::any_of(pass.rest.begin(), pass.rest.end(), [&path](const RecordEntry& other) {
        return other.kind == RecordEntry::Kind::file && SameName(other.fields.front(), path);
      });
  const std::optional<Files::Stamp> stamp = files.StampOf(path);
  if (rewritten || !stamp) {
    return UndoEnd::undone;
  }
  // A file the run was still making when it was cut off is the run's, whole or not.
  const bool making = entry.fields[1] == kBeingMade;
  if (!making && !IsAsWritten(entry, *stamp)) {
    pass.Log(entry.scope, kKeptChangedFile + path);
    pass.passedChanged.push_back(entry.scope);
    return UndoEnd::passed;
  }
  const bool removed = files.Remove(path);
  pass.Log(entry.scope, (removed ? kRemovedFile : kKeptFile) + path);
  return removed ? UndoEnd::undone : UndoEnd::left;
}
