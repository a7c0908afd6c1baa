#include "steps/actions/site_made.h"

#include <algorithm>
#include <optional>

#include "product/run_context.h"
#include "steps/iis/iis_element_copy.h"
#include "steps/iis/iis_website.h"

namespace {

constexpr char kRemovedSite[] = "Removed Website:";
constexpr char kRestoredSite[] = "Restored Website:";
constexpr char kNotRestoredSite[] = "Could not restore Website:";
constexpr char kPasswordsAgain[] = "Set again by hand the passwords the setup does not keep, of Website:";
// The second field of a site-kept line: the site had a location of its own, or none.
constexpr char kSiteHadLocation[] = "location";
constexpr char kSiteHadNoLocation[] = "-";

}  // namespace

RecordEntry SiteMadeLine(RecordScope scope, const std::string& name) {
  return {scope, RecordEntry::Kind::site, {name}};
}

RecordEntry SiteReplacedLine(RecordScope scope, const std::string& name, bool hadLocation,
                             const std::string& kept) {
  return {
      scope, RecordEntry::Kind::siteKept, {name, hadLocation ? kSiteHadLocation : kSiteHadNoLocation, kept}};
}

void UndoSiteMade(WebsiteUndo& undo, const RecordEntry& entry) {
  const std::string& name = entry.fields.front();
  const std::vector<RecordEntry>& entries = *undo.pass.entries;
  const bool replaced =
      undo.pass.takingBack && std::any_of(entries.begin(), entries.end(), [&name](const RecordEntry& other) {
        return other.kind == RecordEntry::Kind::siteKept && other.fields.front() == name &&
               other.fields[1] == kSiteHadLocation;
      });
  if (undo.iis.RemoveSite(name, replaced)) {
    undo.lines.push_back(kRemovedSite + name);
  }
}

void UndoSiteReplaced(WebsiteUndo& undo, const RecordEntry& entry) {
  if (!undo.pass.takingBack) {
    return;
  }
  const std::string& name = entry.fields.front();
  const bool restored = undo.iis.RestoreSite(entry.fields[2]);
  undo.lines.push_back((restored ? kRestoredSite : kNotRestoredSite) + name);
  if (!restored) {
    undo.notUndone.push_back(&entry);
    return;
  }
  // The setup keeps no password: what the site had must be given again.
  const std::optional<IisElementCopy> copy = ParseElementCopyText(entry.fields[2]);
  const std::vector<std::u16string> secrets = copy ? WithheldSecrets(*copy) : std::vector<std::u16string>{};
  if (secrets.empty()) {
    return;
  }
  std::string line = kPasswordsAgain + name + ": ";
  for (std::size_t i = 0; i < secrets.size(); ++i) {
    line += (i == 0 ? "" : "; ") + undo.pass.run.machine.runtime.WideToUtf8(secrets[i]).value_or("");
  }
  undo.lines.push_back(line);
}
