#pragma once

#include <string>
#include <vector>

#include "journal/install_record.h"

class Files;
struct RunContext;

// How the undo of one change ended: done (its line goes), passed over (nothing the setup may do: its
// line goes too), or left (it failed: its line stays, and the next run tries again).
enum class UndoEnd { undone, passed, left };

// What the undo of one change may know of the others being undone with it: a pass over the record, newest
// change first, of an uninstall or of a run's own changes being taken back.
struct UndoPass {
  explicit UndoPass(RunContext& context) : run(context) {}

  RunContext& run;
  // The running run's changes are being taken back: nothing in the record is later than them, and what
  // was there before them is put back (a pool's and a site's settings, a file's copy).
  bool takingBack = false;
  // With `takingBack`: the changes are those of a committed update (/undo), not of the running run. A file
  // changed since the update stays as it is, and the copies stay until the record no longer names them.
  bool undoingUpdate = false;
  // A component that is not being removed is still registered: what it still uses stays.
  bool othersRemain = false;
  // The entries being undone, in the order written.
  const std::vector<RecordEntry>* entries = nullptr;
  // The entries of the components that stay, and those of the removed ones that a staying component
  // still uses (a folder that is not empty, a key it writes in), kept for the last uninstall.
  std::vector<RecordEntry> rest;
  std::vector<RecordEntry> deferred;
  // The files judged in this pass (a file written by more than one run is judged once, by the newest).
  std::vector<std::string> judged;
  // The copies whose file could not be put back: they stay, with the lines that name them.
  std::vector<std::string> keptCopies;
  // The entries whose undo failed, newest first: they stay in the record.
  std::vector<RecordEntry> left;
  // The components of the changes an undo of an update left because they changed since (a file, a value).
  std::vector<RecordScope> passedChanged;

  // A line of the undo, under the component's tag.
  void Log(RecordScope scope, const std::string& line) const;
};

// The line of an entry passed over because it names no place the setup may touch.
inline constexpr char kUnsafeEntry[] = "Passed over a record entry that names no safe path: ";
inline constexpr char kRemovedFolder[] = "Removed folder ";
inline constexpr char kKeptFolder[] = "Kept folder that is not empty ";

// A recorded path that may be touched: a full path on a drive, without a part that climbs, a wildcard or a
// stream colon.
bool IsSafePath(const std::string& path);
// A recorded path that may be touched now: safe, and reached without passing a junction, a symbolic link or
// a mount point (which would send the change elsewhere, wherever it was made to point since).
bool Reachable(Files& files, const std::string& path);
// RemoveDirectory of a folder that should be empty, tried again for a moment when it lists empty.
bool RemoveEmptyFolder(RunContext& run, const std::string& path);
