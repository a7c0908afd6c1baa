#include "steps/actions/restriction_added.h"

#include "steps/iis/iis_website.h"

namespace {

constexpr char kRemovedRestriction[] = "Removed restriction of ";

}  // namespace

RecordEntry RestrictionAddedLine(RecordScope scope, const std::string& modulePath) {
  return {scope, RecordEntry::Kind::restriction, {modulePath}};
}

void UndoRestrictionAdded(WebsiteUndo& undo, const RecordEntry& entry) {
  const std::string& path = entry.fields.front();
  if (undo.iis.RemoveCgiRestriction(path)) {
    undo.lines.push_back(kRemovedRestriction + path);
  }
}
