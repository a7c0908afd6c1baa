#pragma once

#include <string>
#include <vector>

#include "core/action_result.h"

class InstallRecord;
struct RunContext;

// A module a running process holds cannot be written: it is written beside it, as TARGET + kBesideSuffix,
// and put in its place when Windows next starts (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT). The file
// beside is the run's from its first byte (a "file" line); the target keeps its copy as any file replaced.
// Taking back removes the file beside, and the replacement then finds nothing to move.
inline constexpr char kBesideSuffix[] = ".new";

// Before the file beside the target is made.
ActionResult BeforeWritingBeside(InstallRecord* record, const std::string& target);

// Has Windows put each file written beside in its target's place at the next restart, and the run end
// asking for that restart. A replacement Windows will not note leaves the target as it is, says so, and
// fails the component.
void ReplaceAtRestart(RunContext& run, const std::vector<std::string>& targets);
