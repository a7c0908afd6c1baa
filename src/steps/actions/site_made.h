#pragma once

#include <string>

#include "steps/actions/website_undo.h"

// A site the run makes ("site NAME"), and the site of the same name it replaces ("site-kept NAME LOCATION
// COPY": the whole site as it was, and whether it had a location of its own). Both lines are written before
// the website's commit makes the change.
RecordEntry SiteMadeLine(RecordScope scope, const std::string& name);
RecordEntry SiteReplacedLine(RecordScope scope, const std::string& name, bool hadLocation,
                             const std::string& kept);

// Removes the site the run made. Taken back, a site that took the place of one with a location of its own
// leaves that location, which the site put back uses.
void UndoSiteMade(WebsiteUndo& undo, const RecordEntry& entry);
// Taken back, the site replaced is put back whole, with a line naming the passwords the setup does not keep
// (to be given again by hand); once committed, the run's site stays.
void UndoSiteReplaced(WebsiteUndo& undo, const RecordEntry& entry);
