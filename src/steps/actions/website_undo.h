#pragma once

#include <string>
#include <vector>

#include "steps/actions/undo_pass.h"

class IisWebsite;

// The website's changes are made by one commit and undone by one: each change's undo is staged on the open
// configuration, and its line is logged once the commit has put it on the machine.
struct WebsiteUndo {
  UndoPass& pass;
  IisWebsite& iis;
  // The lines of what was staged, for the log after the commit.
  std::vector<std::string> lines;
  // What could not be staged: its line stays in the record, with the commit's others.
  std::vector<const RecordEntry*> notUndone;
};
