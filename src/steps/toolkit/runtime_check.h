#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "plan/package_plan.h"

struct RunContext;

struct RuntimeVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  std::uint32_t revision = 0;
  bool operator==(const RuntimeVersion&) const = default;
};

// The "Version" text of the 2015-and-later runtime: its first character (the letter v) skipped, then
// exactly four groups of decimal digits separated by "."; nullopt for anything else (no partial result).
std::optional<RuntimeVersion> ParseRuntimeVersion(std::string_view text);

// Reads the registration of the 2015-and-later x64 runtime: `installed` 1 when it says so, `version` when
// it can be read (0.0.0.0 otherwise). False only when its key cannot be opened in either registry view.
bool ReadRuntimeVersion(RunContext& run, std::int32_t* installed, RuntimeVersion* version);

// True when the runtime is missing or too old and its redistributable must be run; the 2015-and-later
// runtime's check is logged first.
bool CheckRuntimePrerequisite(RunContext& run, RuntimeKind kind);
// The same answer without a log line, for a check that must leave the log as it is.
bool RuntimeMissing(RunContext& run, RuntimeKind kind);

// Whether a planned package is to be fetched: a runtime only when the check finds it missing or too old;
// every other package always.
bool PackageNeeded(RunContext& run, const PlannedPackage& package);
