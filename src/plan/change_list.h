#pragma once

#include <string>
#include <vector>

#include "platform/planning/overlay_files.h"
#include "platform/planning/overlay_registry.h"
#include "platform/processes.h"

// One change a run would make, as /plan lists it. `kind` is one of folder, file, package, shortcut, msi,
// installer (with `path`), key (with `key`), value (with `key` and `name`), the information server's
// site, pool, binding and restriction (with `path`, the configuration path, and `item`), and feature (with
// `item`, the Windows features DISM would enable), handlers and config (the configuration path and the
// item: a site's handler list, another section's element). `replaces`: the change overwrites or deletes what
// is there.
struct PlannedChange {
  std::string component;  // client, server, sql or shared
  std::string kind;
  std::string path;
  std::string key;
  std::string name;
  std::string item;
  bool replaces = false;
  bool operator==(const PlannedChange&) const = default;
};

// A change of the information server's configuration the run made: an element added ("add"), deleted
// ("remove"), a collection cleared ("clear"), a property of an element that was there set ("set"), a
// location deleted ("location"); in the section at the configuration path, the element's tag and what
// tells it (its name).
struct ConfigurationChange {
  std::string section;
  std::string path;
  std::string tag;
  std::string name;
  std::string what;
};

// What a run that only plans was seen to do: its files and registry, the programs it would start, the
// features it would enable, and the install record as it was before and as the run left it.
struct PlannedRun {
  std::vector<OverlayFiles::Change> files;
  std::vector<OverlayRegistry::Change> registry;
  std::vector<ProcessStart> programs;
  std::vector<std::string> features;
  std::vector<ConfigurationChange> configuration;
  std::string recordBefore;
  std::string recordAfter;
};

// The changes in the order the run makes them. Each belongs to the component whose record lines name it
// (SQL Server's packages and installer to sql); what no line names (the record itself, the log) is shared.
std::vector<PlannedChange> ListPlannedChanges(const PlannedRun& run);

// The plan as JSON (UTF-8): {"changes": [{"component": ..., "kind": ..., target..., "replaces": ...}]}.
std::string PlanJson(const std::vector<PlannedChange>& changes);
// The plan as text: one line per change, grouped by component (client, server, sql, shared).
std::string PlanText(const std::vector<PlannedChange>& changes);
