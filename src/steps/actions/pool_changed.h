#pragma once

#include <string>

#include "steps/actions/website_undo.h"

// An application pool the run makes ("pool NAME"), or one that was there whose settings it changes
// ("pool-kept NAME SETTINGS": what it changed, as it was). The line is written before the website's commit.
RecordEntry PoolMadeLine(RecordScope scope, const std::string& name);
RecordEntry PoolChangedLine(RecordScope scope, const std::string& name, const std::string& kept);

// Removes the pool the run made.
void UndoPoolMade(WebsiteUndo& undo, const RecordEntry& entry);
// Taken back, a pool that was there gets back what the run changed; once committed, it keeps it.
void UndoPoolChanged(WebsiteUndo& undo, const RecordEntry& entry);
