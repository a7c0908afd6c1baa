#pragma once

#include <string>
#include <vector>

#include "journal/install_record.h"

struct SetupState;

// The uninstall of components: the changes the install record holds for them, undone newest first, in
// one pass (the website's changes, made by one commit, go back by one).
// A file goes only while it is still the one written, a folder only when the record made it and it is
// empty, a key only when the record made it; a value is given back what it held before. Nothing outside
// the record is touched. The shared part (the installed setup program, its folder and the record) goes
// when neither component is registered any more; the running program is removed after it ends.
// Settles a run that was cut off, before a new run changes anything (ProductRemoval::SettleCutOffRun).
void SettleCutOffRun(SetupState& state);

class ProductRemoval {
 public:
  explicit ProductRemoval(SetupState& state) : state_(state) {}

  // False, after one line that says so, when there is no record: nothing is removed. A change that could
  // not be undone keeps its line in the record (LeftSome()), for the next uninstall to try again.
  bool Remove(bool client, bool server);
  // Some change could not be undone by the last Remove or TakeBack.
  bool LeftSome() const { return !left_.empty(); }

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

  // A run the record holds as begun and not ended was cut off (a kill, a power loss, a crash): an install
  // or a repair has the components it had not committed taken back, an uninstall is finished. Each says
  // so in the log first. Nothing happens when the last run ended.
  void SettleCutOffRun();

 private:
  // How the undo of one entry ended: done (its line goes), passed over (nothing the setup may do: its
  // line goes too), or left (it failed: its line stays).
  enum class UndoEnd { undone, passed, left };
  // One pass over the entries, newest first.
  void Undo(const std::vector<RecordEntry>& entries);
  UndoEnd UndoEntry(const std::vector<RecordEntry>& entries, const RecordEntry& entry);
  // The website's entries, newest first, undone together by one commit.
  void UndoWebsite(const std::vector<RecordEntry>& entries, const std::vector<const RecordEntry*>& website);
  UndoEnd UndoPackage(const RecordEntry& entry);
  UndoEnd UndoPoolStop(const RecordEntry& entry);
  UndoEnd UndoFile(const std::vector<RecordEntry>& entries, const RecordEntry& entry);
  UndoEnd UndoRegistry(const RecordEntry& entry);
  // The oldest copy of the path among the entries being taken back; nullptr when there is none.
  const RecordEntry* BackupOf(const std::vector<RecordEntry>& entries, const std::string& path) const;
  void Leave(const RecordEntry& entry);
  // SettleCutOffRun, but for the copies no entry names.
  void SettleLastRun();
  // Deletes the copies in the backup folder that no backup entry names, and the folder when it is empty
  // and no entry names it.
  void DropUnnamedCopies(const std::vector<RecordEntry>& entries);
  // Removes the setup program, or has a helper remove it (and its folders) once this process has ended.
  void RemoveSetupCopy(const std::vector<RecordEntry>& entries);
  void Log(RecordScope scope, const std::string& line);
  // RemoveDirectory of a folder that should be empty, tried again for a moment when it lists empty.
  bool RemoveEmptyFolder(const std::string& path);

  SetupState& state_;
  // A component that is not being removed is still registered.
  bool othersRemain_ = false;
  // A component of the running run is taken back: no entry of the record is later than its entries.
  bool takingBack_ = false;
  // The entries of the components that stay, and those of the removed ones that a staying component
  // still uses (a folder that is not empty, a key it writes in), kept for the last uninstall.
  std::vector<RecordEntry> rest_;
  std::vector<RecordEntry> deferred_;
  // The entries whose undo failed, newest first: they stay in the record.
  std::vector<RecordEntry> left_;
  // The files judged in this pass (a file written by more than one run is judged once, by the newest).
  std::vector<std::string> judged_;
  // The copies whose file could not be put back: they stay, with the lines that name them.
  std::vector<std::string> keptCopies_;
};
