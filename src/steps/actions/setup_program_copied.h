#pragma once

#include <string>
#include <vector>

#include "core/action_result.h"
#include "journal/install_record.h"

struct RunContext;

// The copy of the setup program that the uninstall entries call, in its protected folder. What was there
// before (an earlier version) is kept whole until the run commits, and the copy is named ("setup-copy
// PATH") before it is made. It goes with the last component, after everything else, and the running
// program is removed by a helper once it has ended.

// The lines, then the copy of `running`: the failure of a line (logged; nothing is copied), or CopyFile
// with its error.
ActionResult CopySetupProgram(RunContext& run, const std::string& running);

// The setup program's copy and the shared folders made for it: they go last, after the record.
bool IsSetupProgramEntry(const RecordEntry& entry);

// Removes the setup program, the record and the folders the entries name for them (and, empty, the
// setup program's folders a run cut off before its record could name them), or has a helper remove them
// once this process has ended.
void RemoveSetupProgram(RunContext& run, const std::vector<RecordEntry>& entries);
