#include "steps/actions/website_committed.h"

#include "product/run_context.h"
#include "steps/actions/binding_moved.h"
#include "steps/actions/pool_changed.h"
#include "steps/actions/restriction_added.h"
#include "steps/actions/site_made.h"
#include "steps/iis/iis_website.h"

namespace {

constexpr char kNoWebsiteCommit[] = "Could not remove the Website configuration";

using Kind = RecordEntry::Kind;

void LeaveAll(UndoPass& pass, const std::vector<const RecordEntry*>& website) {
  for (const RecordEntry* entry : website) {
    pass.left.push_back(*entry);
  }
}

}  // namespace

ActionResult RecordWebsiteChanges(InstallRecord& record, const std::vector<RecordEntry>& lines) {
  for (const RecordEntry& line : lines) {
    if (ActionResult recorded = record.Add(line.kind, line.fields); !recorded) {
      return recorded;
    }
  }
  return ActionResult::Done();
}

bool IsWebsiteEntry(const RecordEntry& entry) {
  return entry.kind == Kind::site || entry.kind == Kind::pool || entry.kind == Kind::restriction ||
         entry.kind == Kind::binding || entry.kind == Kind::poolKept || entry.kind == Kind::siteKept;
}

void UndoWebsite(UndoPass& pass, const std::vector<const RecordEntry*>& website) {
  IisWebsite iis(pass.run);
  if (!iis.Open()) {
    WriteLog(pass.run, LogTag::server, kNoWebsiteCommit);
    LeaveAll(pass, website);
    return;
  }
  WebsiteUndo undo{pass, iis, {}, {}};
  for (const RecordEntry* entry : website) {
    switch (entry->kind) {
      case Kind::site:
        UndoSiteMade(undo, *entry);
        break;
      case Kind::siteKept:
        UndoSiteReplaced(undo, *entry);
        break;
      case Kind::pool:
        UndoPoolMade(undo, *entry);
        break;
      case Kind::poolKept:
        UndoPoolChanged(undo, *entry);
        break;
      case Kind::restriction:
        UndoRestrictionAdded(undo, *entry);
        break;
      case Kind::binding:
        UndoBindingMoved(undo, *entry);
        break;
      default:
        break;
    }
  }
  // Nothing of it is on the machine until the commit: a failed commit leaves every change of the website as
  // it is, and in the record.
  if (iis.Commit() != 0) {
    WriteLog(pass.run, LogTag::server, kNoWebsiteCommit);
    LeaveAll(pass, website);
    return;
  }
  for (const std::string& line : undo.lines) {
    WriteLog(pass.run, LogTag::server, line);
  }
  for (const RecordEntry* entry : undo.notUndone) {
    pass.left.push_back(*entry);
  }
}
