#include "steps/iis/iis_change_report.h"

#include <cstdio>

namespace {

constexpr char kTitle[] = "What the setup changed in the IIS configuration (before -> after)";
constexpr char kNoChange[] = "No change was made to the IIS configuration.";
constexpr char kCommitted[] = ": committed";
constexpr char kNotCommitted[] = ": not committed (%#010x), so none of these changes was made";
constexpr char kStopped[] = ": the installation stopped before the commit, so none of these changes was made";
constexpr char kNothingHere[] = "  (no change)";
constexpr char kArrow[] = " -> ";
constexpr char kLineEnd[] = "\r\n";

std::string CommitText(const std::optional<std::int32_t>& result) {
  if (!result) {
    return kStopped;
  }
  if (*result == 0) {
    return kCommitted;
  }
  char text[sizeof kNotCommitted + 8];
  std::snprintf(text, sizeof text, kNotCommitted, static_cast<unsigned>(*result));
  return text;
}

}  // namespace

std::string IisChangeReport(const std::vector<IisCommittedChanges>& commits) {
  std::string report = std::string(kTitle) + kLineEnd;
  bool any = false;
  for (const IisCommittedChanges& commit : commits) {
    if (commit.changes.empty() && !commit.commitResult) {
      continue;
    }
    any = true;
    report.append(kLineEnd).append(commit.path).append(CommitText(commit.commitResult)).append(kLineEnd);
    bool changed = false;
    for (const IisChange& change : commit.changes) {
      // A value set again as it was (a repair over its own website) is no change.
      if (change.before == change.after) {
        continue;
      }
      changed = true;
      report.append("  ").append(change.what).append(": ").append(change.before);
      report.append(kArrow).append(change.after).append(kLineEnd);
    }
    if (!changed) {
      report.append(kNothingHere).append(kLineEnd);
    }
  }
  if (!any) {
    report.append(kLineEnd).append(kNoChange).append(kLineEnd);
  }
  return report;
}
