#pragma once

#include <vector>

#include "core/action_result.h"
#include "steps/actions/undo_pass.h"

class InstallRecord;

// The website's changes (its site, pool, restriction and moved binding) are staged on the information
// server's configuration and made by one commit, which goes on if the setup is killed: their lines are on
// disk before it.

// The lines, in order; the first that cannot be written is the failure, and the commit must not be made.
ActionResult RecordWebsiteChanges(InstallRecord& record, const std::vector<RecordEntry>& lines);

// A line of the website's: made by one commit, undone by one.
bool IsWebsiteEntry(const RecordEntry& entry);

// Undoes the website's entries (newest first) together: each is staged, then one commit makes them all.
// A commit that fails leaves every one of them in the record (UndoPass::left); so does one that could not
// be staged.
void UndoWebsite(UndoPass& pass, const std::vector<const RecordEntry*>& website);
