#pragma once

#include <string>

#include "core/action_result.h"
#include "steps/actions/undo_pass.h"

class IisWebsite;
struct RunContext;

// The website's pool, stopped while the modules its worker process holds are replaced and started again
// after. The stop is named by its line ("pool-stopped NAME") first: a run cut off before the pool runs again
// has it started by the next.

// The line, then the stop: the failure of the line (the pool is not stopped, and the caller's component
// fails), else done with `stopped` saying whether the pool was running and stopped.
ActionResult StopPool(RunContext& run, IisWebsite& website, const std::string& pool, bool& stopped);
// Starts again a pool StopPool stopped.
void StartPoolAgain(IisWebsite& website, const std::string& pool);

// Taken back, a pool the run stopped runs again (one already running is left as it is); the uninstall has
// no pool to start.
UndoEnd UndoPoolStopped(UndoPass& pass, const RecordEntry& entry);
