#pragma once

#include "run/setup_components.h"
#include "ui/run_requests.h"

struct SetupState;

// The OK of the maintenance dialog: the chosen mode and components, their install folders looked up in
// the registry, then the repair (the server's update folder prepared) or the uninstall. Returns how the
// run ends.
RunEnd RunMaintenance(SetupState& state, SetupComponents& steps, const MaintenanceChoice& choice);
