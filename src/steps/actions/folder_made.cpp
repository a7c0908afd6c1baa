#include "steps/actions/folder_made.h"

#include <algorithm>

#include "core/path_text.h"
#include "journal/install_record.h"
#include "product/run_context.h"

namespace {

constexpr char kMakeCall[] = "CreateDirectory";

}  // namespace

ActionResult MakeFolder(InstallRecord* record, Files& files, const FolderToMake& folder) {
  // Recorded first, by its full path: a run cut off right after making it leaves it in the record.
  if (record != nullptr && !files.FileAttributes(folder.name)) {
    if (ActionResult recorded = record->AddFolder(folder.path); !recorded) {
      return recorded;
    }
  }
  const std::uint32_t error = folder.dacl != nullptr
                                  ? files.MakeDirectoryWithSecurity(folder.name, *folder.dacl)
                                  : files.MakeDirectory(folder.name);
  return error == 0 ? ActionResult::Done() : ActionResult::Failed(kMakeCall, error);
}

UndoEnd UndoFolderMade(UndoPass& pass, const RecordEntry& entry) {
  // The shared folders hold the running program and go with it.
  if (entry.scope == RecordScope::shared) {
    return UndoEnd::undone;
  }
  Files& files = pass.run.machine.files;
  const std::string& path = entry.fields.front();
  if (!Reachable(files, path)) {
    pass.Log(entry.scope, kUnsafeEntry + path);
    return UndoEnd::passed;
  }
  if (!files.FileAttributes(path)) {
    return UndoEnd::undone;
  }
  if (RemoveEmptyFolder(pass.run, path)) {
    pass.Log(entry.scope, kRemovedFolder + path);
  } else if (pass.othersRemain) {
    // Another component may still put files here: the folder is tried again when the last one goes.
    pass.deferred.push_back({RecordScope::shared, RecordEntry::Kind::folder, {path}});
  } else {
    pass.Log(entry.scope, kKeptFolder + path);
  }
  return UndoEnd::undone;
}
