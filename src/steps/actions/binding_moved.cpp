#include "steps/actions/binding_moved.h"

#include "steps/iis/iis_website.h"

namespace {

constexpr char kRestoredBinding[] = "Restored binding ";
constexpr char kOf[] = " of ";

}  // namespace

RecordEntry BindingMovedLine(RecordScope scope, const std::string& site, const std::string& after,
                             const std::string& before) {
  return {scope, RecordEntry::Kind::binding, {site, after, before}};
}

void UndoBindingMoved(WebsiteUndo& undo, const RecordEntry& entry) {
  const std::string& site = entry.fields.front();
  if (undo.iis.RestoreBinding(site, entry.fields[1], entry.fields[2])) {
    undo.lines.push_back(kRestoredBinding + entry.fields[2] + kOf + site);
  }
}
