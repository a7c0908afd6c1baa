#pragma once

#include <string>

#include "core/action_result.h"
#include "steps/actions/undo_pass.h"

class InstallRecord;

// A file the run replaces or deletes that was there before it: it is copied whole into the record's backup
// folder, the copy flushed and named by its line ("backup PATH COPY") before the file is touched. The commit
// of its component drops the copy; taking the component back puts the file back from it.

// Keeps the copy; a file that is not there, or that this run wrote or kept already, needs none. The failure
// says what is therefore not changed: the file must not be touched.
ActionResult KeepCopy(InstallRecord* record, const std::string& path);

// The oldest copy of the path among the entries being taken back; nullptr when there is none, and always in
// an uninstall (what the run replaced is the product's then).
const RecordEntry* CopyOf(const UndoPass& pass, const std::string& path);

// Taken back, the file gets back what its oldest copy holds, and the copy goes. A copy that could not be put
// back stays, with its line: the next run tries again.
UndoEnd UndoFileReplaced(UndoPass& pass, const RecordEntry& entry);
