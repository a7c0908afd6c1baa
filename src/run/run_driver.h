#pragma once

#include <string>
#include <vector>

#include "core/action_result.h"
#include "plan/setup_plan.h"
#include "product/setup_choices.h"
#include "run/setup_components.h"

struct RunContext;
struct SetupState;

// A setup run from choices that passed their checks: the progress, the setup program's copy, the client,
// server and SQL Server steps that the choices ask for, and the client's shortcut. Returns how the run ends.
RunEnd RunSetup(SetupState& state, SetupComponents& steps, const SetupChoices& choices);

// What became of the changes of the components a run could not put in place: none were taken back (a
// component that changed nothing, or SQL Server Express, which takes back its own), all were, or some
// could not be.
enum class TakenBack { none, all, notAll };
// The closing line of such a run: `what` and the components' names joined by " and ", what became of
// their changes, and where to look; empty when no component is named.
std::string ShortfallLine(const char* what, const std::vector<const char*>& names, TakenBack takenBack);

// Carries out the plan: sets up its progress, then its actions in order (the setup program's copy, the
// client, server and SQL Server steps, the client's shortcut). Returns which components are in place.
SetupOutcome UpdateSoftware(SetupState& state, SetupComponents& steps, const SetupPlan& plan);

// Saves a shell link to the target under the link name in the common Start menu's Programs folder,
// working in the target's folder: done, or the call that failed with its code.
ActionResult CreateShortcut(RunContext& run, const std::string& target, const std::string& linkName,
                            const std::string& description);
