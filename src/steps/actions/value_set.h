#pragma once

#include <cstdint>
#include <string>

#include "core/action_result.h"
#include "core/port_guards.h"
#include "steps/actions/undo_pass.h"

struct RunContext;

// A registry value the run sets. Its line ("value ROOT VIEW KEY NAME BEFORE AFTER") keeps what the value
// held before ("-" when there was none) and what the run set, and is written before the value: a value that
// cannot be named is not set. `key` is open for writing on ROOT\PATH in the view.
ActionResult SetKeptValue(RunContext& run, const UniqueKey& key, RegistryKey root, std::uint32_t view,
                          const std::string& path, const std::string& name, const RegistryValue& value);

// Gives the value back what it held before (deletes it when there was nothing), while it still holds what
// the run set; one changed since stays, with a line. In an uninstall, a later run of a component that stays
// which set it again takes over what it held before.
UndoEnd UndoValueSet(UndoPass& pass, const RecordEntry& entry);
