#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/action_result.h"
#include "platform/registry.h"

class Files;

// The record being rewritten is written whole under this suffix beside it, then put in its place.
inline constexpr char kRecordRewriteSuffix[] = ".new";

// The lines of a change that is not made because the record could not name it first, or could not keep
// what it replaces: the thing that stays as it was follows.
inline constexpr char kNotRecorded[] = "Could not write the install record, so this is not changed: ";
inline constexpr char kNoCopyKept[] = "Could not keep a copy of what is there, so this is not changed: ";
// A change that failed because the record could not name it first, or keep what it replaces: it was not
// made, and its component fails. (A failure of the change itself is judged by its own step.)
inline bool NotRecorded(const ActionResult& result) {
  return !result.ok() && (result.line.starts_with(kNotRecorded) || result.line.starts_with(kNoCopyKept));
}

// The part of the product a change belongs to: the uninstall of a component undoes its changes only.
// The shared part (the installed setup program and its folder) goes when no component is left.
enum class RecordScope { shared, client, server };

// A copy the record names is one the setup made: a file name directly in the backup folder, so that a
// changed record cannot have a commit or a taking back remove or copy any other file.
bool IsBackupCopy(const std::string& path, const std::string& backupFolder);

// The words of a run's mark.
inline constexpr char kInstallMode[] = "install";
inline constexpr char kRepairMode[] = "repair";
inline constexpr char kUninstallMode[] = "uninstall";
inline constexpr char kClientComponent[] = "client";
inline constexpr char kServerComponent[] = "server";
// The components of a mark ("client", "server", "client server").
std::string RunComponentsText(bool client, bool server);

// One change a run made to the machine, or a mark of the run, as the record keeps it.
struct RecordEntry {
  enum class Kind {
    file,         // path, size, last-write time: a file the run wrote
    folder,       // path: a folder the run created
    key,          // root, view, path: a registry key the run created
    value,        // root, view, key path, name, the value before ("-" when there was none), the value set
    site,         // name: an IIS site the run created
    siteKept,     // name, "location" or "-", site: the site of the same name the run deleted to make its own,
                  // whole, and whether it had a location of its own
    pool,         // name: an application pool the run created
    poolKept,     // name, properties: what the run changed on a pool that was there, as it was before
    poolStopped,  // name: a pool the run stops (while it replaces the modules its worker holds) and starts
                  // again
    restriction,  // path: the ISAPI restriction entry the run added
    binding,      // site, binding information set, binding information before
    msi,          // product code or package path: a Windows Installer package the run installed
    setupCopy,    // path: the copy of the setup program the uninstall entries call
    backup,       // path, copy: a file the run replaced or deleted, kept whole as the copy
    // The marks of a run: the changes after a run's mark are that run's until the next mark. A component
    // whose changes are all made is committed; a run that went to its end is closed. A run left open
    // was cut off.
    run,     // id, mode, components: a run begins (its id one above the record's highest; "install",
             // "repair", "uninstall"; "client server")
    plan,    // packages: what the run is to fetch for the component of the entry's scope, names separated by
             // blanks, written before the component changes anything
    commit,  // the component of the entry's scope is complete in this run
    end,     // the run went to its end
  };
  RecordScope scope = RecordScope::shared;
  Kind kind = Kind::file;
  std::vector<std::string> fields;
  bool operator==(const RecordEntry&) const = default;
};

// A registry value kept in the record: "-" for none, else the type and the bytes in hex ("1:6100").
std::string RecordedValueText(const std::optional<RegistryValue>& value);
std::optional<RegistryValue> RecordedValue(const std::string& text);
// The registry roots by their record names ("HKLM", "HKCU").
std::string RootName(RegistryKey root);
std::optional<RegistryKey> RootNamed(const std::string& name);

// One line of the record and back. A line that does not parse (a damaged record, a line of a later
// format) gives nullopt.
std::string FormatRecordLine(const RecordEntry& entry);
// A line of the former format (marks without an id) gets the id 0.
std::optional<RecordEntry> ParseRecordLine(const std::string& line, bool former = false);

// The install record: a text file, one change a line, appended and closed change by change so that a
// run that dies half-way leaves every change made so far on disk.
class InstallRecord {
 public:
  // The record at `recordPath`; the copies of what a run replaces or deletes in `copyFolder` until its
  // component is committed.
  InstallRecord(Files& files, std::string recordPath, std::string copyFolder)
      : path(std::move(recordPath)), backupFolder(std::move(copyFolder)), files_(files) {}

  // The component whose changes are being made; set by the run before each component's steps.
  RecordScope scope = RecordScope::shared;
  // Changes are recorded while this is set: an install or a repair, not an uninstall.
  bool recording = false;
  std::string path;
  std::string backupFolder;

  // Writes the line of a change before the change is made. A line that cannot be written fails, with the
  // line that says what is therefore not changed: the change must not be made.
  [[nodiscard]] ActionResult Add(RecordEntry::Kind kind, std::vector<std::string> fields);
  // Begins recording a run of the mode for the components; every change from here on is the run's.
  void BeginRun(const std::string& mode, bool client, bool server);
  // Marks the beginning of an uninstall of the components, which records nothing: it is done when the
  // record is rewritten without the marks. Returns the mark.
  RecordEntry MarkUninstall(bool client, bool server);
  // Closes a run that an earlier process began and did not end, once it has been settled.
  void CloseCutOffRun();
  // What the running run is to fetch for the component, before the component changes anything.
  void AddPlan(RecordScope component, const std::string& packages);
  // The component of the scope has made all its changes in this run: the commit is on disk before the
  // copies of the component's earlier runs, which it no longer needs, are deleted. False when the commit line
  // could not be written (the copies are then kept, and the component stays open for the next run to settle).
  // With `withShared`, the shared part is committed in the same write, before it: a cut leaves both
  // commits or neither.
  bool Commit(RecordScope component, bool withShared = false);
  // Closes the run this process began, if any.
  void EndRun();
  // A file as it is now on disk (its size and last-write time); nothing when it cannot be read.
  [[nodiscard]] ActionResult AddFile(const std::string& filePath);
  [[nodiscard]] ActionResult AddFolder(const std::string& folderPath);
  // Keeps a copy of a file the run is about to replace or delete, and records it once the copy is whole:
  // taking the component back puts the file back, its commit drops the copy. A file that is not there, or
  // that this run wrote or kept already, needs none. A copy that cannot be made fails with the line that
  // says so: the file must not be changed.
  [[nodiscard]] ActionResult BackUp(const std::string& filePath);
  // Before a file is written: the copy of what is there, or the line that names a file made new. The one
  // call for every file the run writes.
  [[nodiscard]] ActionResult BeforeWriting(const std::string& filePath);
  // Drops the copies that the runs before the last one made for the component: the last run's stay after
  // its commit, so that its changes can still be taken back (/undo), until the component's next commit.
  // The shared part's copies all go.
  void DropBackups(RecordScope component);
  // A file about to be made where there is none: the run owns whatever is there if it is cut off before
  // the file is recorded whole (its size and time are "-").
  [[nodiscard]] ActionResult AddNewFile(const std::string& filePath);

  // Every entry of the record in the order written, nullopt when there is no record. Lines that do not
  // parse are passed over.
  std::optional<std::vector<RecordEntry>> Read();
  // Replaces the record with these entries; removes it when there are none. False when it cannot be
  // written.
  bool Rewrite(const std::vector<RecordEntry>& entries);

 private:
  [[nodiscard]] ActionResult Append(const std::string& text, const std::string& what);
  // The record's text without the zeros a power cut may leave at its end; nullopt when it cannot be read.
  std::optional<std::string> ReadText();
  // The id of a run that begins now: one above the highest in the record.
  std::string NextRunId();
  // Before the first line this process adds: a record of the former format is rewritten in the present
  // one, and one cut off before its first line was whole is begun again.
  void ConvertFormerRecord();

  Files& files_;
  bool runOpen_ = false;
  bool formatChecked_ = false;
  std::uint32_t backups_ = 0;
  // The files this run has written or kept a copy of (lower case): what the run itself wrote needs no copy.
  std::set<std::string> touched_;
  // Lines not yet on disk because the record could not be opened: the folders made on the way to the
  // record's own folder are recorded before it exists, and written with the first line that can be.
  std::string pending_;
};
