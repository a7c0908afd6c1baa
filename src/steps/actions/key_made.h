#pragma once

#include <cstdint>
#include <string>

#include "core/action_result.h"
#include "core/port_guards.h"
#include "steps/actions/undo_pass.h"

struct RunContext;

// A registry key the run makes. Each level that is not there is named by its line ("key ROOT VIEW PATH")
// before RegCreateKeyEx makes it: a run cut off right after the call leaves none unnamed. The key is opened
// (made or found) with `access` in `key`. The failure of a line (nothing is made), or RegCreateKeyEx with its
// status.
ActionResult MakeKey(RunContext& run, RegistryKey root, std::uint32_t view, const std::string& path,
                     std::uint32_t access, UniqueKey& key);

// Deletes the key the run made, unless a component that stays still uses it or a key below it (it is tried
// again at the last uninstall). A key that cannot be deleted stays, with its line.
UndoEnd UndoKeyMade(UndoPass& pass, const RecordEntry& entry);

// How a key or value line is read back: its key below a root, at least two levels deep, in a known view.
bool IsSafeKey(const RecordEntry& entry);
std::uint32_t ViewOf(const RecordEntry& entry);
// "HKLM\PATH", as the undo's lines name it.
std::string KeyText(const RecordEntry& entry);
