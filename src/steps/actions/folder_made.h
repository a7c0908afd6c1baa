#pragma once

#include <string>

#include "core/action_result.h"
#include "steps/actions/undo_pass.h"

class Files;
class InstallRecord;

// A folder the run makes. Its line ("folder PATH") names it by its full path; it is made by `name` (the
// full path, or its last name below the current folder), with `dacl` when one is given.
struct FolderToMake {
  const std::string& path;
  const std::string& name;
  const std::string* dacl = nullptr;
};

// Its line first (none when a folder of that name is there already: it is not the run's), then the folder.
// The failure of the line (nothing is made), or CreateDirectory with its error.
ActionResult MakeFolder(InstallRecord* record, Files& files, const FolderToMake& folder);

// Removes the folder when it is empty and reachable. One that still holds something stays: for the last
// uninstall when a component that stays may still put files there, else with a line that says so. The
// setup program's own folders go with it, not here.
UndoEnd UndoFolderMade(UndoPass& pass, const RecordEntry& entry);
