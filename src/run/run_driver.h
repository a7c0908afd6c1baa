#pragma once

#include "product/setup_choices.h"
#include "run/setup_components.h"

struct SetupState;

// A setup run from choices that passed their checks: the progress, the setup program's copy, the client,
// server and SQL Server steps that the choices ask for, and the client's shortcut. Returns how the run ends.
RunEnd RunSetup(SetupState& state, SetupComponents& steps, const SetupChoices& choices);

// Sets up the progress, copies the setup program into the product folder and runs the client, server and
// SQL Server steps of the run's choices. Returns which server steps put their component in place.
SetupOutcome UpdateSoftware(SetupState& state, SetupComponents& steps);

// Saves a shell link to the target under the link name in the current directory, working in the target's
// folder. Non-zero when the link was saved.
int CreateShortcut(SetupState& state, const std::string& target, const std::string& linkName,
                   const std::string& description);
