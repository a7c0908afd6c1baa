#pragma once

#include <string>

#include "steps/actions/website_undo.h"

// The ISAPI restriction entry the run adds for its module ("restriction PATH"), written before the
// website's commit.
RecordEntry RestrictionAddedLine(RecordScope scope, const std::string& modulePath);

// Removes the entry the run added.
void UndoRestrictionAdded(WebsiteUndo& undo, const RecordEntry& entry);
