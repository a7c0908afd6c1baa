#include "steps/actions/pool_changed.h"

#include "steps/iis/iis_website.h"

namespace {

constexpr char kRemovedPool[] = "Removed application pool:";
constexpr char kRestoredPool[] = "Restored application pool:";
constexpr char kNotRestoredPool[] = "Could not restore application pool:";

}  // namespace

RecordEntry PoolMadeLine(RecordScope scope, const std::string& name) {
  return {scope, RecordEntry::Kind::pool, {name}};
}

RecordEntry PoolChangedLine(RecordScope scope, const std::string& name, const std::string& kept) {
  return {scope, RecordEntry::Kind::poolKept, {name, kept}};
}

void UndoPoolMade(WebsiteUndo& undo, const RecordEntry& entry) {
  const std::string& name = entry.fields.front();
  if (undo.iis.RemoveAppPool(name)) {
    undo.lines.push_back(kRemovedPool + name);
  }
}

void UndoPoolChanged(WebsiteUndo& undo, const RecordEntry& entry) {
  if (!undo.pass.takingBack) {
    return;
  }
  const std::string& name = entry.fields.front();
  const bool restored = undo.iis.RestorePool(name, entry.fields[1]);
  undo.lines.push_back((restored ? kRestoredPool : kNotRestoredPool) + name);
  if (!restored) {
    undo.notUndone.push_back(&entry);
  }
}
