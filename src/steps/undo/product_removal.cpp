#include "steps/undo/product_removal.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>

#include "core/command_text.h"
#include "core/path_text.h"
#include "core/port_guards.h"
#include "product/setup_state.h"
#include "steps/iis/iis_element_copy.h"
#include "steps/iis/iis_website.h"
#include "steps/toolkit/installers.h"
#include "steps/toolkit/product_registration.h"
#include "steps/toolkit/protected_folder.h"

namespace {

constexpr char kNoRecord[] = "No install record found: nothing is removed";
constexpr char kRecordNotRewritten[] = "Could not rewrite the install record: it keeps every change it named";
constexpr char kCutOffTakenBack[] =
    "The last setup was cut off before its end: what it had not finished is taken back";
constexpr char kCutOffUninstall[] = "The last uninstall was cut off before its end: it is finished first";
constexpr char kUnsafeEntry[] = "Passed over a record entry that names no safe path: ";
constexpr char kRemovedFile[] = "Removed file ";
constexpr char kRestoredFile[] = "Restored file ";
constexpr char kNotRestoredFile[] = "Could not restore file ";
constexpr char kKeptChangedFile[] = "Kept changed file ";
constexpr char kKeptFile[] = "Could not remove file ";
constexpr char kRemovedFolder[] = "Removed folder ";
constexpr char kKeptFolder[] = "Kept folder that is not empty ";
constexpr char kRemovedKey[] = "Removed registry key ";
constexpr char kKeptKey[] = "Could not remove registry key ";
constexpr char kRemovedValue[] = "Removed registry value ";
constexpr char kRestoredValue[] = "Restored registry value ";
constexpr char kKeptValue[] = "Kept changed registry value ";
constexpr char kNotUndoneValue[] = "Could not restore registry value ";
constexpr char kRemovedSite[] = "Removed Website:";
constexpr char kRemovedPool[] = "Removed application pool:";
constexpr char kRestoredPool[] = "Restored application pool:";
constexpr char kRestoredSite[] = "Restored Website:";
constexpr char kNotRestoredSite[] = "Could not restore Website:";
constexpr char kPasswordsAgain[] = "Set again by hand the passwords the setup does not keep, of Website:";
constexpr char kNotRestoredPool[] = "Could not restore application pool:";
constexpr char kRemovedRestriction[] = "Removed restriction of ";
constexpr char kRestoredBinding[] = "Restored binding ";
constexpr char kOf[] = " of ";
constexpr char kNoWebsiteCommit[] = "Could not remove the Website configuration";
constexpr char kRemovedPackage[] = "Removed ";
constexpr char kKeptPackage[] = "Could not remove ";
constexpr char kRemovedSetup[] = "Removed ";
constexpr char kSetupLater[] = "Removing after setup ends: ";
// The helper that removes the running setup program once it has ended: a pause of about two seconds,
// then the program, then the folders the record made for it (only the empty ones go).
constexpr char kHelperStart[] = "/c ping -n 3 127.0.0.1 >nul & del /f /q \"";
// The helper's program, and its folder as its current one, so that it finds the system's programs first.
constexpr char kHelperProgram[] = "cmd.exe";
constexpr char kHelperFolder[] = " & rmdir \"";
constexpr char kHelperRecord[] = " & del /f /q \"";
constexpr char kQuote[] = "\"";
constexpr std::size_t kMaxPath = 259;
constexpr int kFolderAttempts = 4;
constexpr std::uint32_t kFolderPauseMs = 500;

using Kind = RecordEntry::Kind;

// A recorded path that may be touched: a full path on a drive, without a part that climbs, a wildcard
// or a stream colon.
bool IsSafePath(const std::string& path) {
  if (path.size() < 4 || path.size() > kMaxPath || std::isalpha(static_cast<unsigned char>(path[0])) == 0 ||
      path[1] != ':' || path[2] != '\\') {
    return false;
  }
  if (path.find_first_of("*?\"<>|/:", 2) != std::string::npos) {
    return false;
  }
  std::string withEnds(1, '\\');
  withEnds.append(path, 3);
  withEnds += '\\';
  return withEnds.find("\\..\\") == std::string::npos && withEnds.find("\\.\\") == std::string::npos &&
         withEnds.find("\\\\") == std::string::npos;
}

// A recorded key that may be touched: below a root, at least two levels deep, in a known view.
bool IsSafeKey(const RecordEntry& entry) {
  const std::string& view = entry.fields[1];
  const std::string& path = entry.fields[2];
  return RootNamed(entry.fields[0]) && (view == "0" || view == "256" || view == "512") && !path.empty() &&
         path.front() != '\\' && path.back() != '\\' && path.find("\\\\") == std::string::npos &&
         path.find('\\') != std::string::npos;
}

std::uint32_t ViewOf(const RecordEntry& entry) {
  return static_cast<std::uint32_t>(std::stoul(entry.fields[1]));
}

bool SameKey(const RecordEntry& a, const RecordEntry& b) {
  return a.fields[0] == b.fields[0] && a.fields[1] == b.fields[1] && SameName(a.fields[2], b.fields[2]);
}

// The key of an entry, or one below it, is used by the other entry.
bool Below(const RecordEntry& key, const RecordEntry& other) {
  if ((other.kind != Kind::key && other.kind != Kind::value) || other.fields[0] != key.fields[0] ||
      other.fields[1] != key.fields[1]) {
    return false;
  }
  const std::string& path = key.fields[2];
  const std::string& otherPath = other.fields[2];
  return SameName(otherPath, path) || (otherPath.size() > path.size() && otherPath[path.size()] == '\\' &&
                                       SameName(std::string_view(otherPath).substr(0, path.size()), path));
}

std::string KeyText(const RecordEntry& entry) {
  return entry.fields[0] + "\\" + entry.fields[2];
}

bool IsRunMark(const RecordEntry& entry) {
  return entry.kind == Kind::run || entry.kind == Kind::plan || entry.kind == Kind::commit ||
         entry.kind == Kind::end;
}

// The mark of the newest run; rend() when the record holds none.
std::vector<RecordEntry>::const_reverse_iterator LastRunMark(const std::vector<RecordEntry>& entries) {
  return std::find_if(entries.rbegin(), entries.rend(),
                      [](const RecordEntry& entry) { return entry.kind == Kind::run; });
}

// The setup program's copy and the shared folders made for it: they go last, after the record.
bool IsSetupProgramEntry(const RecordEntry& entry) {
  return entry.kind == Kind::setupCopy || (entry.kind == Kind::folder && entry.scope == RecordScope::shared);
}

// A recorded path that may be touched now: safe, and reached without passing a junction, a symbolic link or
// a mount point (which would send the change elsewhere, wherever it was made to point since).
bool Reachable(Files& files, const std::string& path) {
  return IsSafePath(path) && !ReparsePointOnPath(files, path);
}

// The website's changes: made by one commit, taken back by one.
bool IsWebsiteEntry(const RecordEntry& entry) {
  return entry.kind == Kind::site || entry.kind == Kind::pool || entry.kind == Kind::restriction ||
         entry.kind == Kind::binding || entry.kind == Kind::poolKept || entry.kind == Kind::siteKept;
}

LogTag TagOf(RecordScope scope) {
  switch (scope) {
    case RecordScope::client:
      return LogTag::client;
    case RecordScope::server:
      return LogTag::server;
    default:
      return LogTag::userInterface;
  }
}

}  // namespace

bool ProductRemoval::RemoveEmptyFolder(const std::string& path) {
  Files& files = state_.machine.files;
  // A folder whose last entry was just removed while another process still held it open (a program that
  // had it as its current folder and is ending) stays behind that entry until the handle goes: a folder
  // that lists empty is tried again a few times.
  for (int attempt = 0;; ++attempt) {
    if (files.RemoveFolder(path)) {
      return true;
    }
    const auto entries = files.ListDirectory(WithTrailingBackslash(path) + "*.*");
    const bool empty = entries && std::all_of(entries->begin(), entries->end(), [](const auto& entry) {
                         return entry.name == "." || entry.name == "..";
                       });
    if (!empty || attempt == kFolderAttempts) {
      return false;
    }
    state_.machine.runtime.Pause(kFolderPauseMs);
  }
}

void ProductRemoval::Log(RecordScope scope, const std::string& line) {
  WriteLog(state_, TagOf(scope), line);
}

bool ProductRemoval::Remove(bool client, bool server) {
  std::optional<std::vector<RecordEntry>> entries = state_.record.Read();
  // A component that stays keeps what it still uses; the shared part goes with the last component.
  othersRemain_ = (!client && ProductRegistered(state_, ProductComponent::client)) ||
                  (!server && ProductRegistered(state_, ProductComponent::server));
  if (!entries) {
    WriteLog(state_, LogTag::userInterface, kNoRecord);
    // An uninstall cut off after the record went leaves at most the setup program's empty folders.
    if (!ProductRegistered(state_, ProductComponent::client) &&
        !ProductRegistered(state_, ProductComponent::server)) {
      RemoveSetupCopy({});
    }
    return false;
  }
  // Until the record is rewritten, an uninstall cut off is finished by the next run.
  const RecordEntry mark = state_.record.MarkUninstall(client, server);
  std::vector<RecordEntry> undo;
  rest_.clear();
  deferred_.clear();
  left_.clear();
  for (RecordEntry& entry : *entries) {
    // The marks of the runs go: what stays is complete.
    if (IsRunMark(entry)) {
      continue;
    }
    const bool chosen = (entry.scope == RecordScope::client && client) ||
                        (entry.scope == RecordScope::server && server) ||
                        (entry.scope == RecordScope::shared && !othersRemain_);
    (chosen ? undo : rest_).push_back(std::move(entry));
  }
  Undo(undo);
  // What stays for later keeps the order it was made in: the replay went newest first. The setup program
  // and its folders stay in the record until they are gone: an uninstall cut off before then is finished
  // by the next one.
  std::vector<RecordEntry> kept = rest_;
  kept.insert(kept.end(), deferred_.rbegin(), deferred_.rend());
  // What could not be undone stays for the next uninstall, which tries again.
  kept.insert(kept.end(), left_.rbegin(), left_.rend());
  const bool removesProgram = !othersRemain_ && left_.empty() &&
                              std::none_of(rest_.begin(), rest_.end(), [](const RecordEntry& entry) {
                                return entry.scope != RecordScope::shared;
                              });
  // The setup program goes after the record is rewritten: the uninstall stays open until then, and a run
  // cut off in between finishes it.
  if (removesProgram) {
    kept.insert(kept.begin(), mark);
  }
  if (!othersRemain_) {
    std::copy_if(undo.begin(), undo.end(), std::back_inserter(kept), IsSetupProgramEntry);
  }
  if (!state_.record.Rewrite(kept)) {
    WriteLog(state_, LogTag::userInterface, kRecordNotRewritten);
  }
  // The setup program that the uninstall entry calls stays while something is left to remove.
  if (removesProgram) {
    RemoveSetupCopy(undo);
  }
  return true;
}

bool ProductRemoval::TakeBack(RecordScope component) {
  return TakeBack(std::vector<RecordScope>{component});
}

bool ProductRemoval::TakeBack(const std::vector<RecordScope>& components) {
  std::optional<std::vector<RecordEntry>> entries = state_.record.Read();
  if (!entries || components.empty()) {
    return true;
  }
  // The running run's changes follow its mark.
  const auto first = LastRunMark(*entries).base();
  std::vector<RecordEntry> undo;
  rest_.assign(entries->cbegin(), first);
  deferred_.clear();
  left_.clear();
  for (auto entry = first; entry != entries->cend(); ++entry) {
    const bool chosen = std::find(components.begin(), components.end(), entry->scope) != components.end();
    (chosen && !IsRunMark(*entry) ? undo : rest_).push_back(*entry);
  }
  // A folder the component made that holds something else stays in the record for the last uninstall.
  othersRemain_ = true;
  takingBack_ = true;
  Undo(undo);
  takingBack_ = false;
  std::vector<RecordEntry> kept = rest_;
  kept.insert(kept.end(), deferred_.rbegin(), deferred_.rend());
  // What could not be taken back stays the run's, uncommitted: the next run settles it again.
  kept.insert(kept.end(), left_.rbegin(), left_.rend());
  if (!state_.record.Rewrite(kept)) {
    WriteLog(state_, LogTag::userInterface, kRecordNotRewritten);
    return false;
  }
  return left_.empty();
}

bool ProductRemoval::TakeBackShared() {
  // Nothing registered is left to call the setup program: it goes, with the record and their folders, as
  // the last uninstall has them go.
  if (!state_.record.Read()) {
    return true;
  }
  if (!ProductRegistered(state_, ProductComponent::client) &&
      !ProductRegistered(state_, ProductComponent::server)) {
    Remove(false, false);
    return left_.empty();
  }
  return TakeBack(RecordScope::shared);
}

void SettleCutOffRun(SetupState& state) {
  ProductRemoval(state).SettleCutOffRun();
}

void ProductRemoval::SettleCutOffRun() {
  SettleLastRun();
  DropUnnamedCopies(state_.record.Read().value_or(std::vector<RecordEntry>()));
}

void ProductRemoval::SettleLastRun() {
  const std::optional<std::vector<RecordEntry>> entries = state_.record.Read();
  if (!entries || entries->empty()) {
    // The setup program's folders are made before the record that names them can be: a first run cut off
    // in between leaves them empty, unnamed (or with a record cut before its first line), with nothing
    // installed.
    if (!ProductRegistered(state_, ProductComponent::client) &&
        !ProductRegistered(state_, ProductComponent::server)) {
      RemoveSetupCopy({});
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
    Log(RecordScope::shared, kCutOffUninstall);
    Remove(client, server);
    return;
  }
  Log(RecordScope::shared, kCutOffTakenBack);
  // The components the run had not committed are taken back together, newest change first; a committed
  // one has the copies it no longer needs dropped.
  std::vector<RecordScope> open;
  bool anyCommitted = false;
  for (const RecordScope component : {RecordScope::server, RecordScope::client}) {
    const bool committed = std::any_of(entries->crbegin(), mark, [component](const RecordEntry& entry) {
      return entry.kind == Kind::commit && entry.scope == component;
    });
    if (committed) {
      state_.record.DropBackups(component);
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
    state_.record.DropBackups(RecordScope::shared);
  } else {
    TakeBackShared();
  }
  // The shared part's removal takes the record with it: the run is closed only where a record is left.
  const std::optional<std::vector<RecordEntry>> settled = state_.record.Read();
  if (settled && !settled->empty()) {
    state_.record.CloseCutOffRun();
  }
}

void ProductRemoval::DropUnnamedCopies(const std::vector<RecordEntry>& entries) {
  // The backup folder holds the setup's copies alone: a copy whose line a power cut took from the record
  // (it was not yet flushed) is named by nothing, and goes; so does the folder once it is empty and
  // unnamed.
  Files& files = state_.machine.files;
  const std::string& folder = state_.record.backupFolder;
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
  if (const std::optional<std::string> system = state_.machine.files.KnownFolder(Files::kFolderSystem)) {
    state_.machine.files.ChangeDirectory(*system);
  }
  judged_.clear();
  keptCopies_.clear();
  // Newest change first. The website's changes were made together, by one commit: they go back together,
  // by one commit, where the newest of them stands.
  for (std::size_t index = entries.size(); index > 0;) {
    const RecordEntry& entry = entries[index - 1];
    if (!IsWebsiteEntry(entry)) {
      if (UndoEntry(entries, entry) == UndoEnd::left) {
        Leave(entry);
      }
      --index;
      continue;
    }
    std::vector<const RecordEntry*> website;
    while (index > 0 && IsWebsiteEntry(entries[index - 1])) {
      website.push_back(&entries[--index]);
    }
    UndoWebsite(entries, website);
  }
}

ProductRemoval::UndoEnd ProductRemoval::UndoEntry(const std::vector<RecordEntry>& entries,
                                                  const RecordEntry& entry) {
  switch (entry.kind) {
    case Kind::msi:
      return UndoPackage(entry);
    case Kind::backup:
    case Kind::file:
    case Kind::folder:
      return UndoFile(entries, entry);
    case Kind::key:
    case Kind::value:
      return UndoRegistry(entry);
    case Kind::poolStopped:
      return UndoPoolStop(entry);
    default:
      return UndoEnd::undone;
  }
}

void ProductRemoval::Leave(const RecordEntry& entry) {
  // An undo that failed keeps its line: the next uninstall or settle tries again.
  left_.push_back(entry);
}

void ProductRemoval::UndoWebsite(const std::vector<RecordEntry>& entries,
                                 const std::vector<const RecordEntry*>& website) {
  IisWebsite iis(state_);
  if (!iis.Open()) {
    WriteLog(state_, LogTag::server, kNoWebsiteCommit);
    for (const RecordEntry* entry : website) {
      Leave(*entry);
    }
    return;
  }
  std::vector<std::string> lines;
  // What could not be put back stays named: its line stays in the record, with the commit's others.
  std::vector<const RecordEntry*> notUndone;
  for (const RecordEntry* entry : website) {
    const std::string& name = entry->fields.front();
    // Taken back, a site that took the place of one of the same name with a location of its own leaves
    // that location, which the site made again uses (with what this run set there).
    const bool replaced =
        takingBack_ && std::any_of(entries.begin(), entries.end(), [&name](const RecordEntry& other) {
          return other.kind == Kind::siteKept && other.fields.front() == name &&
                 other.fields[1] == kSiteHadLocation;
        });
    if (entry->kind == Kind::site && iis.RemoveSite(name, replaced)) {
      lines.push_back(kRemovedSite + name);
    } else if (entry->kind == Kind::siteKept && takingBack_) {
      const bool restored = iis.RestoreSite(entry->fields[2]);
      lines.push_back((restored ? kRestoredSite : kNotRestoredSite) + name);
      if (!restored) {
        notUndone.push_back(entry);
      }
      // The setup keeps no password: what the site had must be given again.
      const std::optional<IisElementCopy> copy = ParseElementCopyText(entry->fields[2]);
      const std::vector<std::u16string> secrets =
          copy ? WithheldSecrets(*copy) : std::vector<std::u16string>{};
      if (restored && !secrets.empty()) {
        std::string line = kPasswordsAgain + name + ": ";
        for (std::size_t i = 0; i < secrets.size(); ++i) {
          line += (i == 0 ? "" : "; ") + state_.machine.runtime.WideToAnsi(secrets[i]).value_or("");
        }
        lines.push_back(line);
      }
    } else if (entry->kind == Kind::pool && iis.RemoveAppPool(name)) {
      lines.push_back(kRemovedPool + name);
    } else if (entry->kind == Kind::poolKept && takingBack_) {
      // A pool that was there before the run gets back what the run changed; once committed, it keeps it.
      const bool restored = iis.RestorePool(name, entry->fields[1]);
      lines.push_back((restored ? kRestoredPool : kNotRestoredPool) + name);
      if (!restored) {
        notUndone.push_back(entry);
      }
    } else if (entry->kind == Kind::restriction && iis.RemoveCgiRestriction(name)) {
      lines.push_back(kRemovedRestriction + name);
    } else if (entry->kind == Kind::binding && iis.RestoreBinding(name, entry->fields[1], entry->fields[2])) {
      lines.push_back(kRestoredBinding + entry->fields[2] + kOf + name);
    }
  }
  // Nothing of it is on the machine until the commit: a failed commit leaves every change of the website
  // as it is, and in the record.
  if (iis.Commit() != 0) {
    WriteLog(state_, LogTag::server, kNoWebsiteCommit);
    for (const RecordEntry* entry : website) {
      Leave(*entry);
    }
    return;
  }
  for (const std::string& line : lines) {
    WriteLog(state_, LogTag::server, line);
  }
  for (const RecordEntry* entry : notUndone) {
    Leave(*entry);
  }
}

ProductRemoval::UndoEnd ProductRemoval::UndoPoolStop(const RecordEntry& entry) {
  // Taken back, a pool the run stopped runs again (one it started again already is left running); the
  // uninstall has no pool to start.
  if (!takingBack_) {
    return UndoEnd::undone;
  }
  IisWebsite(state_).StartAppPool(entry.fields.front());
  return UndoEnd::undone;
}

ProductRemoval::UndoEnd ProductRemoval::UndoPackage(const RecordEntry& entry) {
  const std::string& package = entry.fields.front();
  if (!IsProductCode(package) && !IsSafePath(package)) {
    Log(entry.scope, kUnsafeEntry + package);
    return UndoEnd::passed;
  }
  const bool removed = RemoveInstallerPackage(state_, package).ok();
  Log(entry.scope, (removed ? kRemovedPackage : kKeptPackage) + package);
  return removed ? UndoEnd::undone : UndoEnd::left;
}

const RecordEntry* ProductRemoval::BackupOf(const std::vector<RecordEntry>& entries,
                                            const std::string& path) const {
  // Taken back, a file the run replaced or deleted gets back what its oldest copy of this run holds.
  if (!takingBack_) {
    return nullptr;
  }
  const auto found = std::find_if(entries.begin(), entries.end(), [&path](const RecordEntry& entry) {
    return entry.kind == Kind::backup && SameName(entry.fields[0], path);
  });
  return found == entries.end() ? nullptr : &*found;
}

ProductRemoval::UndoEnd ProductRemoval::UndoFile(const std::vector<RecordEntry>& entries,
                                                 const RecordEntry& entry) {
  Files& files = state_.machine.files;
  if (entry.kind == Kind::backup) {
    if (BackupOf(entries, entry.fields[0]) != &entry) {
      return UndoEnd::undone;
    }
    const std::string& path = entry.fields[0];
    std::uint32_t error = 0;
    const bool restored = Reachable(files, path) &&
                          IsBackupCopy(entry.fields[1], state_.record.backupFolder) &&
                          files.CopyTo(entry.fields[1], path, error);
    Log(entry.scope, (restored ? kRestoredFile : kNotRestoredFile) + path);
    // A copy that could not be put back is kept, and so is its line (and the older line that names the
    // copy as the run's): the next run tries again.
    if (!restored) {
      keptCopies_.push_back(entry.fields[1]);
      return UndoEnd::left;
    }
    files.Remove(entry.fields[1]);
    return UndoEnd::undone;
  }
  // The shared folders hold the running program and go with it.
  if (entry.scope == RecordScope::shared) {
    return UndoEnd::undone;
  }
  const std::string& path = entry.fields.front();
  const bool keptCopy = std::any_of(keptCopies_.begin(), keptCopies_.end(),
                                    [&path](const std::string& copy) { return SameName(copy, path); });
  if (keptCopy) {
    return UndoEnd::left;
  }
  if (!Reachable(files, path)) {
    Log(entry.scope, kUnsafeEntry + path);
    return UndoEnd::passed;
  }
  if (entry.kind == Kind::folder) {
    if (!files.FileAttributes(path)) {
      return UndoEnd::undone;
    }
    if (RemoveEmptyFolder(path)) {
      Log(entry.scope, kRemovedFolder + path);
    } else if (othersRemain_) {
      // Another component may still put files here: the folder is tried again when the last one goes.
      deferred_.push_back({RecordScope::shared, Kind::folder, {path}});
    } else {
      Log(entry.scope, kKeptFolder + path);
    }
    return UndoEnd::undone;
  }
  // A file the run replaced is put back from its copy; a file written by more than one run is judged
  // once, by the newest run's entry.
  const bool seen = std::any_of(judged_.begin(), judged_.end(),
                                [&path](const std::string& other) { return SameName(other, path); });
  if (seen) {
    return UndoEnd::undone;
  }
  judged_.push_back(path);
  if (BackupOf(entries, path) != nullptr) {
    return UndoEnd::undone;
  }
  // A file that a component which stays wrote again is that component's now. Taken back, a file the run
  // wrote without a copy was not there before it (what was is copied first), whoever wrote it earlier.
  const bool rewritten =
      !takingBack_ && std::any_of(rest_.begin(), rest_.end(), [&path](const RecordEntry& other) {
        return other.kind == Kind::file && SameName(other.fields.front(), path);
      });
  const std::optional<Files::Stamp> stamp = files.StampOf(path);
  if (rewritten || !stamp) {
    return UndoEnd::undone;
  }
  // A file the run was still making when it was cut off is the run's, whole or not.
  const bool making = entry.fields[1] == "-";
  if (!making && (std::to_string(stamp->size) != entry.fields[1] ||
                  std::to_string(stamp->lastWrite) != entry.fields[2])) {
    Log(entry.scope, kKeptChangedFile + path);
    return UndoEnd::passed;
  }
  const bool removed = files.Remove(path);
  Log(entry.scope, (removed ? kRemovedFile : kKeptFile) + path);
  return removed ? UndoEnd::undone : UndoEnd::left;
}

ProductRemoval::UndoEnd ProductRemoval::UndoRegistry(const RecordEntry& entry) {
  Registry& registry = state_.machine.registry;
  if (!IsSafeKey(entry)) {
    Log(entry.scope, kUnsafeEntry + KeyText(entry));
    return UndoEnd::passed;
  }
  const RegistryKey root = *RootNamed(entry.fields[0]);
  const std::uint32_t view = ViewOf(entry);
  const std::string& path = entry.fields[2];
  if (entry.kind == Kind::key) {
    const bool used = std::any_of(rest_.begin(), rest_.end(),
                                  [&entry](const RecordEntry& other) { return Below(entry, other); });
    if (used) {
      deferred_.push_back({RecordScope::shared, Kind::key, entry.fields});
      return UndoEnd::undone;
    }
    const std::int32_t deleted = registry.DeleteKey(root, path, view);
    if (deleted == Registry::kFileNotFound) {
      return UndoEnd::undone;
    }
    Log(entry.scope, (deleted == Registry::kSuccess ? kRemovedKey : kKeptKey) + KeyText(entry));
    return deleted == Registry::kSuccess ? UndoEnd::undone : UndoEnd::left;
  }
  const std::string& name = entry.fields[3];
  const std::string valueText = KeyText(entry) + "\\" + name;
  // A later change by a component that stays takes over what this one found before it. Nothing is
  // later than the running run's changes.
  const auto later = std::find_if(rest_.begin(), rest_.end(), [&](const RecordEntry& other) {
    return other.kind == Kind::value && SameKey(other, entry) && SameName(other.fields[3], name);
  });
  if (!takingBack_ && later != rest_.end()) {
    later->fields[4] = entry.fields[4];
    return UndoEnd::undone;
  }
  UniqueKey key(registry);
  if (registry.OpenKey(root, path, Registry::kQueryValue | Registry::kSetValue | view, key.Receive()) !=
      Registry::kSuccess) {
    return UndoEnd::undone;
  }
  RegistryValue current;
  if (registry.QueryValue(key.get(), name, current) != Registry::kSuccess) {
    return UndoEnd::undone;
  }
  if (RecordedValueText(current) != entry.fields[5]) {
    Log(entry.scope, kKeptValue + valueText);
    return UndoEnd::passed;
  }
  const std::optional<RegistryValue> before = RecordedValue(entry.fields[4]);
  const bool done = before ? registry.SetValue(key.get(), name, *before) == Registry::kSuccess
                           : registry.DeleteValue(key.get(), name) == Registry::kSuccess;
  if (!done) {
    Log(entry.scope, kNotUndoneValue + valueText);
    return UndoEnd::left;
  }
  Log(entry.scope, (before ? kRestoredValue : kRemovedValue) + valueText);
  return UndoEnd::undone;
}

void ProductRemoval::RemoveSetupCopy(const std::vector<RecordEntry>& entries) {
  Files& files = state_.machine.files;
  bool pending = false;
  std::string command;
  // The record goes once the program is gone, or with the program by the helper; the folders after it.
  const auto removeRecord = [&]() {
    if (pending) {
      files.Remove(state_.record.path + kRecordRewriteSuffix);
      command += kHelperRecord + state_.record.path + kQuote;
    } else {
      state_.record.Rewrite({});
    }
  };
  bool recordHandled = false;
  std::vector<std::string> handled;
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    const std::string& path = entry->fields.front();
    if (!IsSetupProgramEntry(*entry) || !Reachable(files, path) || !files.FileAttributes(path)) {
      continue;
    }
    handled.push_back(path);
    if (entry->kind == Kind::setupCopy) {
      // The running program cannot remove itself: a helper does once it has ended.
      if (files.Remove(path)) {
        Log(RecordScope::shared, kRemovedSetup + path);
      } else if (!pending) {
        pending = true;
        command = kHelperStart + path + kQuote;
        Log(RecordScope::shared, kSetupLater + path);
      }
      continue;
    }
    if (!recordHandled) {
      removeRecord();
      recordHandled = true;
    }
    if (RemoveEmptyFolder(path)) {
      Log(RecordScope::shared, kRemovedFolder + path);
    } else if (pending) {
      command += kHelperFolder + path + kQuote;
    } else {
      Log(RecordScope::shared, kKeptFolder + path);
    }
  }
  if (!recordHandled) {
    removeRecord();
  }
  // The setup program's folder and the maker's folder above it are made before the record that would
  // hold them can be written: a run cut off in between leaves them out of the record. Empty, they go too.
  const std::string setupFolder = kInstalledSetupFolder;
  for (const std::string& path : {setupFolder, setupFolder.substr(0, setupFolder.find_last_of('\\'))}) {
    const bool seen = std::any_of(handled.begin(), handled.end(),
                                  [&path](const std::string& other) { return SameName(other, path); });
    if (seen || !files.FileAttributes(path)) {
      continue;
    }
    if (RemoveEmptyFolder(path)) {
      Log(RecordScope::shared, kRemovedFolder + path);
    } else if (pending) {
      command += kHelperFolder + path + kQuote;
    }
  }
  if (!pending) {
    return;
  }
  const std::optional<std::string> system = files.KnownFolder(Files::kFolderSystem);
  if (!system) {
    return;
  }
  ProcessStart start;
  start.applicationName = JoinPath(*system, kHelperProgram);
  start.commandLine = CommandLineOf(start.applicationName, command);
  // A console program: without its own console no window flashes up as the setup ends.
  start.noWindow = true;
  start.currentDirectory = *system;
  std::uint32_t error = 0;
  Processes& processes = state_.machine.processes;
  const UniqueProcess helper(processes, processes.Create(start, error));
  if (!helper.IsOpen()) {
    ReportCreateProcessFailure(state_, error);
  }
}
