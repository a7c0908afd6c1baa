#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "journal/install_record.h"
#include "steps/actions/undo_pass.h"
#include "steps/undo/last_update.h"

struct RunContext;

// How /undo ended for a component: not asked for, nothing to take back, its last update taken back (or its
// first install removed), or some change of it kept (changed since, or an undo that failed).
enum class UpdateUndoEnd { notAsked, nothing, undone, removed, left };
struct UpdateUndo {
  UpdateUndoEnd client = UpdateUndoEnd::notAsked;
  UpdateUndoEnd server = UpdateUndoEnd::notAsked;
};

// The uninstall of components: the changes the install record holds for them, undone newest first, in
// one pass (the website's changes, made by one commit, go back by one).
// A file goes only while it is still the one written, a folder only when the record made it and it is
// empty, a key only when the record made it; a value is given back what it held before. Nothing outside
// the record is touched. The shared part (the installed setup program, its folder and the record) goes
// when neither component is registered any more; the running program is removed after it ends.
// Settles a run that was cut off, before a new run changes anything (ProductRemoval::SettleCutOffRun).
void SettleCutOffRun(RunContext& run);

class ProductRemoval {
 public:
  explicit ProductRemoval(RunContext& run) : run_(run), pass_(run) {}

  // False, after one line that says so, when there is no record: nothing is removed. A change that could
  // not be undone keeps its line in the record (LeftSome()), for the next uninstall to try again.
  bool Remove(bool client, bool server);
  // Some change could not be undone by the last Remove or TakeBack.
  bool LeftSome() const { return !pass_.left.empty(); }

  // Takes back what the running run changed for one component, newest first, by the same rules: the
  // machine is left as it was before the component's steps, as far as the record can say. A file an
  // earlier run also wrote stays. The entries taken back leave the record; one that could not be undone
  // stays, the run's still, and the result is false.
  bool TakeBack(RecordScope component);
  // The same for several components at once, newest change first across them.
  bool TakeBack(const std::vector<RecordScope>& components);
  // The shared part of a run none of whose components went through: with no component registered, the
  // setup program, the record and their folders go; else what the run changed of them is taken back.
  bool TakeBackShared();

  // /undo: the last committed install or repair of each chosen component is taken back, newest change
  // first, through the same undo as a failed run's: the files it replaced or deleted put back from the
  // copies kept since, what it made removed, the values, pool and site it changed given back. A file
  // changed since the update stays, with a line; what an installer put in place stays, with a line. A
  // component's first install is removed, as its uninstall would. The undo is a run of its own in the
  // record: a second undo finds nothing, and one cut off is finished by the next run.
  UpdateUndo UndoLastUpdate(bool client, bool server);

  // A run the record holds as begun and not ended was cut off (a kill, a power loss, a crash): an install
  // or a repair has the components it had not committed taken back, an uninstall is finished. Each says
  // so in the log first. Nothing happens when the last run ended.
  void SettleCutOffRun();

 private:
  // One pass over the entries, newest first; an undo that failed keeps its entry (UndoPass::left).
  void Undo(const std::vector<RecordEntry>& entries);
  UndoEnd UndoEntry(const RecordEntry& entry);
  // SettleCutOffRun, but for the copies no entry names.
  void SettleLastRun();
  // Takes back the entries of each component's last update before the undo's own mark (the record's
  // last), newest first across them, and rewrites the record without them; what could not be undone stays.
  void TakeBackUpdates(const std::vector<RecordScope>& components);
  // Takes back the chosen entries (by index), newest first, with what the others tell of them, and rewrites
  // the record with the rest and what could not be undone; with `undoingUpdate` they are a committed
  // update's. The entries kept, or nullopt when the record could not be rewritten.
  std::optional<std::vector<RecordEntry>> TakeBackChosen(const std::vector<RecordEntry>& entries,
                                                         const std::vector<bool>& chosen, bool undoingUpdate);
  // Rewrites the record with the entries; false, after a line that says so, when it cannot.
  bool RewriteRecord(const std::vector<RecordEntry>& entries);
  // Finishes an undo that was cut off: the components its mark names that it had not committed.
  void FinishUndo(const std::vector<RecordEntry>& entries, std::size_t mark);
  // Deletes the copies in the backup folder that no backup entry names, and the folder when it is empty
  // and no entry names it.
  void DropUnnamedCopies(const std::vector<RecordEntry>& entries);

  RunContext& run_;
  // What the undo of each change may know of the others: what stays, what is deferred, what is left.
  UndoPass pass_;
};
