#pragma once

#include <string>

#include "steps/actions/website_undo.h"

// A binding of another site on the run's port, moved away ("binding SITE AFTER BEFORE": the binding
// information the run set and the one it had), written before the website's commit.
RecordEntry BindingMovedLine(RecordScope scope, const std::string& site, const std::string& after,
                             const std::string& before);

// Gives the site its binding back.
void UndoBindingMoved(WebsiteUndo& undo, const RecordEntry& entry);
