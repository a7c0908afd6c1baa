#pragma once

#include "run/setup_components.h"

struct RunContext;

// /undo: settles a run that was cut off, then takes the last update of each chosen component back (its
// first install: the component is removed). Returns how the run ends: a shortfall line names a component
// some change of which was kept (changed since, or not undone); what its installers put in place is named
// in the log and kept without one.
RunEnd RunUpdateUndo(RunContext& run, bool client, bool server);
