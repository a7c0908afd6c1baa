#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "journal/install_record.h"

// The mode word of the run that takes the last update back.
inline constexpr char kUndoMode[] = "undo";

// The last install or repair of a component that committed it, as the record holds it: the update /undo
// takes back.
struct LastUpdate {
  // The index of the run's mark, and the end of its entries (the next run's mark, or the record's end).
  std::size_t mark = 0;
  std::size_t end = 0;
  // Nothing of the component is in the record before the run: it was the component's first install.
  bool first = false;
};

// Nullopt when the component has no update left to take back: none committed, or the newest is taken back
// already (an undo of the component came after it). `skipping` is the mark of an undo that is being
// finished: it is passed over.
std::optional<LastUpdate> FindLastUpdate(const std::vector<RecordEntry>& entries, RecordScope component,
                                         std::optional<std::size_t> skipping = std::nullopt);

// A mark of a run (its beginning, a component's plan or commit, its end), not a change.
bool IsRunMark(const RecordEntry& entry);

// The run's mark names the component among its components.
bool RunNames(const RecordEntry& mark, RecordScope component);

// The name of the component in a run's components ("client", "server").
const char* ComponentWord(RecordScope component);
