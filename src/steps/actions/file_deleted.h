#pragma once

#include <string>

#include "core/action_result.h"

class Files;
class InstallRecord;

// A file the run deletes: its copy is kept first, as for a file replaced (KeepCopy), and taking the
// component back puts it back from that copy (UndoFileReplaced). The failure of the copy (the file stays),
// else done: a deletion that fails leaves the file as it was, which is what the copy holds.
ActionResult DeleteKeptFile(InstallRecord* record, Files& files, const std::string& path);
