#pragma once

#include <string>

#include "core/action_result.h"

class InstallRecord;

// A package the run fetches into its update folder (downloaded, or copied from a layout), and the part file
// a download writes first. The package that was there (an earlier run's) is kept whole until the component
// commits; the new one and its part are the run's from their first byte, so a run cut off in a transfer
// leaves nothing the record does not name. Each is a file written, undone as one (UndoFileWritten,
// UndoFileReplaced).

// Before the package is written: the failure says it must not be.
ActionResult BeforeFetching(InstallRecord& record, const std::string& package);
// Before its part file is made.
ActionResult BeforeFetchingPart(InstallRecord& record, const std::string& part);
// The package whole, with its size and time. The line with "-" written before owns it already: a stamp that
// cannot follow loses nothing, and is not a failure.
void PackageFetched(InstallRecord& record, const std::string& package);
