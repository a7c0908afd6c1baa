#pragma once

#include <cstdint>
#include <vector>

struct RunContext;

// The setup's events in the Windows Application log, for monitoring (SCOM, Splunk, Intune's device
// diagnostics): one per component and run, from the event source "NembricSetup", whose messages the
// setup program carries (resources/events.mc; the IDs are listed in docs/deploying.md).
inline constexpr char16_t kEventSource[] = u"NembricSetup";
inline constexpr std::uint32_t kEventInstalled = 1000;
inline constexpr std::uint32_t kEventRepaired = 1001;
inline constexpr std::uint32_t kEventRemoved = 1002;
inline constexpr std::uint32_t kEventTakenBack = 1003;
inline constexpr std::uint32_t kEventLeft = 1004;
inline constexpr std::uint32_t kEventRestartNeeded = 1005;

// How a component ended in a run.
enum class ComponentEnd {
  installed,
  repaired,
  removed,
  takenBack,  // it failed, and its changes were taken back
  left,       // it failed (or its removal did), and not every change could be undone
};

struct ComponentEvent {
  ComponentEnd end;
  const char* component;  // its display name
};

// Writes the run's events: one per component, and one when Windows must restart to complete the run. The
// failures carry the run's exit code; every event names the setup's log. An event log that cannot be
// reached is passed over: the log says it all.
void ReportRunEvents(RunContext& run, const std::vector<ComponentEvent>& events, std::uint32_t exitCode);
