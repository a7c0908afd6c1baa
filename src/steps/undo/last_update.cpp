#include "steps/undo/last_update.h"

#include <algorithm>
#include <string>

namespace {

using Kind = RecordEntry::Kind;

}  // namespace

bool IsRunMark(const RecordEntry& entry) {
  return entry.kind == Kind::run || entry.kind == Kind::plan || entry.kind == Kind::commit ||
         entry.kind == Kind::end;
}

bool RunNames(const RecordEntry& mark, RecordScope component) {
  return mark.fields.size() >= 3 && mark.fields[2].find(ComponentWord(component)) != std::string::npos;
}

const char* ComponentWord(RecordScope component) {
  return component == RecordScope::client ? kClientComponent : kServerComponent;
}

std::optional<LastUpdate> FindLastUpdate(const std::vector<RecordEntry>& entries, RecordScope component,
                                         std::optional<std::size_t> skipping) {
  std::size_t end = entries.size();
  for (std::size_t index = entries.size(); index > 0; --index) {
    const std::size_t mark = index - 1;
    if (entries[mark].kind != Kind::run) {
      continue;
    }
    const std::size_t runEnd = end;
    end = mark;
    if (mark == skipping || entries[mark].fields.size() < 3 || !RunNames(entries[mark], component)) {
      continue;
    }
    const std::string& mode = entries[mark].fields[1];
    if (mode == kUndoMode) {
      return std::nullopt;
    }
    const bool committed = std::any_of(entries.begin() + static_cast<std::ptrdiff_t>(mark),
                                       entries.begin() + static_cast<std::ptrdiff_t>(runEnd),
                                       [component](const RecordEntry& entry) {
                                         return entry.kind == Kind::commit && entry.scope == component;
                                       });
    if (!committed || (mode != kInstallMode && mode != kRepairMode)) {
      continue;
    }
    const bool first = std::none_of(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(mark),
                                    [component](const RecordEntry& entry) {
                                      return entry.scope == component && entry.kind != Kind::commit &&
                                             entry.kind != Kind::plan;
                                    });
    return LastUpdate{mark, runEnd, first};
  }
  return std::nullopt;
}
