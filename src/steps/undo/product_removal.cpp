#include "steps/undo/product_removal.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>

#include "core/path_text.h"
#include "core/reparse_points.h"
#include "product/run_context.h"
#include "steps/actions/file_replaced.h"
#include "steps/actions/file_written.h"
#include "steps/actions/folder_made.h"
#include "steps/actions/key_made.h"
#include "steps/actions/msi_installed.h"
#include "steps/actions/pool_stopped.h"
#include "steps/actions/setup_program_copied.h"
#include "steps/actions/value_set.h"
#include "steps/actions/website_committed.h"
#include "steps/toolkit/product_registration.h"

namespace {

constexpr char kNoRecord[] = "No install record found: nothing is removed";
constexpr char kRecordNotRewritten[] = "Could not rewrite the install record: it keeps every change it named";
constexpr char kCutOffTakenBack[] =
    "The last setup was cut off before its end: what it had not finished is taken back";
constexpr char kCutOffUninstall[] = "The last uninstall was cut off before its end: it is finished first";

using Kind = RecordEntry::Kind;

// The mark of the newest run; rend() when the record holds none.
std::vector<RecordEntry>::const_reverse_iterator LastRunMark(const std::vector<RecordEntry>& entries) {
  return std::find_if(entries.rbegin(), entries.rend(),
                      [](const RecordEntry& entry) { return entry.kind == Kind::run; });
}

}  // namespace

bool ProductRemoval::Remove(bool client, bool server) {
  std::optional<std::vector<RecordEntry>> entries = run_.record.Read();
  // A component that stays keeps what it still uses; the shared part goes with the last component.
  pass_.othersRemain = (!client && ProductRegistered(run_, ProductComponent::client)) ||
                       (!server && ProductRegistered(run_, ProductComponent::server));
  if (!entries) {
    WriteLog(run_, LogTag::userInterface, kNoRecord);
    // An uninstall cut off after the record went leaves at most the setup program's empty folders.
    if (!ProductRegistered(run_, ProductComponent::client) &&
        !ProductRegistered(run_, ProductComponent::server)) {
      RemoveSetupProgram(run_, {});
    }
    return false;
  }
  // Until the record is rewritten, an uninstall cut off is finished by the next run.
  const RecordEntry mark = run_.record.MarkUninstall(client, server);
  std::vector<RecordEntry> undo;
  pass_.rest.clear();
  pass_.deferred.clear();
  pass_.left.clear();
  for (RecordEntry& entry : *entries) {
    // The marks of the runs go: what stays is complete.
    if (IsRunMark(entry)) {
      continue;
    }
    const bool chosen = (entry.scope == RecordScope::client && client) ||
                        (entry.scope == RecordScope::server && server) ||
                        (entry.scope == RecordScope::shared && !pass_.othersRemain);
    (chosen ? undo : pass_.rest).push_back(std::move(entry));
  }
  Undo(undo);
  // What stays for later keeps the order it was made in: the replay went newest first. The setup program
  // and its folders stay in the record until they are gone: an uninstall cut off before then is finished
  // by the next one.
  std::vector<RecordEntry> kept = pass_.rest;
  kept.insert(kept.end(), pass_.deferred.rbegin(), pass_.deferred.rend());
  // What could not be undone stays for the next uninstall, which tries again.
  kept.insert(kept.end(), pass_.left.rbegin(), pass_.left.rend());
  const bool removesProgram =
      !pass_.othersRemain && pass_.left.empty() &&
      std::none_of(pass_.rest.begin(), pass_.rest.end(),
                   [](const RecordEntry& entry) { return entry.scope != RecordScope::shared; });
  // The setup program goes after the record is rewritten: the uninstall stays open until then, and a run
  // cut off in between finishes it.
  if (removesProgram) {
    kept.insert(kept.begin(), mark);
  }
  if (!pass_.othersRemain) {
    std::copy_if(undo.begin(), undo.end(), std::back_inserter(kept), IsSetupProgramEntry);
  }
  RewriteRecord(kept);
  // The setup program that the uninstall entry calls stays while something is left to remove.
  if (removesProgram) {
    RemoveSetupProgram(run_, undo);
  }
  return true;
}

bool ProductRemoval::TakeBack(RecordScope component) {
  return TakeBack(std::vector<RecordScope>{component});
}

bool ProductRemoval::TakeBack(const std::vector<RecordScope>& components) {
  std::optional<std::vector<RecordEntry>> entries = run_.record.Read();
  if (!entries || components.empty()) {
    return true;
  }
  // The running run's changes follow its mark.
  const auto first = static_cast<std::size_t>(LastRunMark(*entries).base() - entries->cbegin());
  std::vector<bool> chosen(entries->size(), false);
  for (std::size_t index = first; index < entries->size(); ++index) {
    const RecordEntry& entry = (*entries)[index];
    chosen[index] =
        !IsRunMark(entry) && std::find(components.begin(), components.end(), entry.scope) != components.end();
  }
  // What could not be taken back stays the run's, uncommitted: the next run settles it again.
  return TakeBackChosen(*entries, chosen, false).has_value() && pass_.left.empty();
}

std::optional<std::vector<RecordEntry>> ProductRemoval::TakeBackChosen(
    const std::vector<RecordEntry>& entries, const std::vector<bool>& chosen, bool undoingUpdate) {
  std::vector<RecordEntry> undo;
  pass_.rest.clear();
  pass_.deferred.clear();
  pass_.left.clear();
  for (std::size_t index = 0; index < entries.size(); ++index) {
    (chosen[index] ? undo : pass_.rest).push_back(entries[index]);
  }
  // A folder the component made that holds something else stays in the record for the last uninstall.
  pass_.othersRemain = true;
  pass_.takingBack = true;
  pass_.undoingUpdate = undoingUpdate;
  Undo(undo);
  pass_.takingBack = false;
  pass_.undoingUpdate = false;
  std::vector<RecordEntry> kept = pass_.rest;
  kept.insert(kept.end(), pass_.deferred.rbegin(), pass_.deferred.rend());
  // What could not be undone stays, newest last.
  kept.insert(kept.end(), pass_.left.rbegin(), pass_.left.rend());
  if (!RewriteRecord(kept)) {
    return std::nullopt;
  }
  return kept;
}

bool ProductRemoval::TakeBackShared() {
  // Nothing registered is left to call the setup program: it goes, with the record and their folders, as
  // the last uninstall has them go.
  if (!run_.record.Read()) {
    return true;
  }
  if (!ProductRegistered(run_, ProductComponent::client) &&
      !ProductRegistered(run_, ProductComponent::server)) {
    Remove(false, false);
    return pass_.left.empty();
  }
  return TakeBack(RecordScope::shared);
}

bool ProductRemoval::RewriteRecord(const std::vector<RecordEntry>& entries) {
  if (!run_.record.Rewrite(entries)) {
    WriteLog(run_, LogTag::userInterface, kRecordNotRewritten);
    return false;
  }
  return true;
}

void SettleCutOffRun(RunContext& run) {
  ProductRemoval(run).SettleCutOffRun();
}

void ProductRemoval::SettleCutOffRun() {
  SettleLastRun();
  DropUnnamedCopies(run_.record.Read().value_or(std::vector<RecordEntry>()));
}

void ProductRemoval::SettleLastRun() {
  const std::optional<std::vector<RecordEntry>> entries = run_.record.Read();
  if (!entries || entries->empty()) {
    // The setup program's folders are made before the record that names them can be: a first run cut off
    // in between leaves them empty, unnamed (or with a record cut before its first line), with nothing
    // installed.
    if (!ProductRegistered(run_, ProductComponent::client) &&
        !ProductRegistered(run_, ProductComponent::server)) {
      RemoveSetupProgram(run_, {});
    }
    return;
  }
  const auto mark = LastRunMark(*entries);
  if (mark == entries->crend() || std::any_of(entries->crbegin(), mark, [](const RecordEntry& entry) {
        return entry.kind == Kind::end;
      })) {
    return;
  }
  const std::string& components = mark->fields[2];
  const bool client = components.find(kClientComponent) != std::string::npos;
  const bool server = components.find(kServerComponent) != std::string::npos;
  if (mark->fields[1] == kUninstallMode) {
    pass_.Log(RecordScope::shared, kCutOffUninstall);
    Remove(client, server);
    return;
  }
  if (mark->fields[1] == kUndoMode) {
    FinishUndo(*entries, static_cast<std::size_t>(std::distance(mark, entries->crend()) - 1));
    return;
  }
  pass_.Log(RecordScope::shared, kCutOffTakenBack);
  // The components the run had not committed are taken back together, newest change first; a committed
  // one has the copies it no longer needs dropped.
  std::vector<RecordScope> open;
  bool anyCommitted = false;
  for (const RecordScope component : {RecordScope::server, RecordScope::client}) {
    const bool committed = std::any_of(entries->crbegin(), mark, [component](const RecordEntry& entry) {
      return entry.kind == Kind::commit && entry.scope == component;
    });
    if (committed) {
      run_.record.DropBackups(component);
      anyCommitted = true;
    } else {
      open.push_back(component);
    }
  }
  TakeBack(open);
  // The shared part is committed with the first component, in the same write: without a component
  // committed it goes back with them.
  const bool sharedCommitted =
      anyCommitted && std::any_of(entries->crbegin(), mark, [](const RecordEntry& entry) {
        return entry.kind == Kind::commit && entry.scope == RecordScope::shared;
      });
  if (sharedCommitted) {
    run_.record.DropBackups(RecordScope::shared);
  } else {
    TakeBackShared();
  }
  // The shared part's removal takes the record with it: the run is closed only where a record is left.
  const std::optional<std::vector<RecordEntry>> settled = run_.record.Read();
  if (settled && !settled->empty()) {
    run_.record.CloseCutOffRun();
  }
}

void ProductRemoval::DropUnnamedCopies(const std::vector<RecordEntry>& entries) {
  // The backup folder holds the setup's copies alone: a copy whose line a power cut took from the record
  // (it was not yet flushed) is named by nothing, and goes; so does the folder once it is empty and
  // unnamed.
  Files& files = run_.machine.files;
  const std::string& folder = run_.record.backupFolder;
  const auto named = [&entries](const std::string& path, RecordEntry::Kind kind) {
    return std::any_of(entries.begin(), entries.end(), [&](const RecordEntry& entry) {
      return entry.kind == kind && SameName(entry.fields[kind == Kind::backup ? 1 : 0], path);
    });
  };
  const auto listed = files.ListDirectory(WithTrailingBackslash(folder) + "*.*");
  if (!listed || ReparsePointOnPath(files, folder)) {
    return;
  }
  for (const Files::DirectoryEntry& entry : *listed) {
    const std::string path = WithTrailingBackslash(folder) + entry.name;
    if ((entry.attributes & Files::kAttributeDirectory) == 0 && IsBackupCopy(path, folder) &&
        !named(path, Kind::backup)) {
      files.Remove(path);
    }
  }
  if (!named(folder, Kind::folder)) {
    files.RemoveFolder(folder);
  }
}

void ProductRemoval::Undo(const std::vector<RecordEntry>& entries) {
  // Windows keeps a process's current directory from being removed: the run leaves the folders it made
  // (the update folder is current after an update) for the system folder, which no removal touches.
  if (const std::optional<std::string> system = run_.machine.files.KnownFolder(Files::kFolderSystem)) {
    run_.machine.files.ChangeDirectory(*system);
  }
  pass_.judged.clear();
  pass_.keptCopies.clear();
  pass_.entries = &entries;
  // Newest change first. The website's changes were made together, by one commit: they go back together,
  // by one commit, where the newest of them stands.
  for (std::size_t index = entries.size(); index > 0;) {
    const RecordEntry& entry = entries[index - 1];
    if (!IsWebsiteEntry(entry)) {
      if (UndoEntry(entry) == UndoEnd::left) {
        pass_.left.push_back(entry);
      }
      --index;
      continue;
    }
    std::vector<const RecordEntry*> website;
    while (index > 0 && IsWebsiteEntry(entries[index - 1])) {
      website.push_back(&entries[--index]);
    }
    UndoWebsite(pass_, website);
  }
  pass_.entries = nullptr;
}

UndoEnd ProductRemoval::UndoEntry(const RecordEntry& entry) {
  switch (entry.kind) {
    case Kind::msi:
      return UndoMsiInstalled(pass_, entry);
    case Kind::backup:
      return UndoFileReplaced(pass_, entry);
    case Kind::file:
      return UndoFileWritten(pass_, entry);
    case Kind::folder:
      return UndoFolderMade(pass_, entry);
    case Kind::key:
      return UndoKeyMade(pass_, entry);
    case Kind::value:
      return UndoValueSet(pass_, entry);
    case Kind::poolStopped:
      return UndoPoolStopped(pass_, entry);
    default:
      return UndoEnd::undone;
  }
}
