#pragma once

#include <string>
#include <vector>

#include "journal/install_record.h"

struct SetupState;

// The uninstall of components: the changes the install record holds for them, undone newest first. The
// website and the Windows Installer packages go first (while the packages they name are still on disk),
// then files and folders, then the registry, so that the uninstall entry and the product keys go last.
// A file goes only while it is still the one written, a folder only when the record made it and it is
// empty, a key only when the record made it; a value is given back what it held before. Nothing outside
// the record is touched. The shared part (the installed setup program, its folder and the record) goes
// when neither component is registered any more; the running program is removed after it ends.
// Settles a run that was cut off, before a new run changes anything (ProductRemoval::SettleCutOffRun).
void SettleCutOffRun(SetupState& state);

class ProductRemoval {
 public:
  explicit ProductRemoval(SetupState& state) : state_(state) {}

  // False, after one line that says so, when there is no record: nothing is removed.
  bool Remove(bool client, bool server);

  // Takes back what the running run changed for one component, newest first, by the same rules: the
  // machine is left as it was before the component's steps, as far as the record can say. A file an
  // earlier run also wrote stays. The entries taken back leave the record.
  void TakeBack(RecordScope component);

  // A run the record holds as begun and not ended was cut off (a kill, a power loss, a crash): an install
  // or a repair has the components it had not committed taken back, an uninstall is finished. Each says
  // so in the log first. Nothing happens when the last run ended.
  void SettleCutOffRun();

 private:
  // The four passes over the entries to undo.
  void Undo(const std::vector<RecordEntry>& entries);
  void UndoWebsite(const std::vector<RecordEntry>& entries);
  void UndoPackages(const std::vector<RecordEntry>& entries);
  void UndoFiles(const std::vector<RecordEntry>& entries);
  void UndoRegistry(const std::vector<RecordEntry>& entries);
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
};
