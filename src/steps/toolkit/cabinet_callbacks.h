#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "core/action_result.h"
#include "platform/cabinet.h"
#include "steps/toolkit/cabinet_buffers.h"

class Files;
class InstallRecord;

// Where one cabinet copy writes, handed to the notification callback as the copy's user value. An entry
// that may not be written there is named in `rejectedEntry`, with the reason, and aborts the copy.
struct CabinetTarget {
  std::string destination;
  // The entry the copy refused (its name may be empty) and why; no reason while none was refused.
  std::string rejectedEntry;
  std::string rejectionReason;
  // A target that exists but cannot be written (a module a running process has loaded) is written beside
  // it, as TARGET + kBesideSuffix, and named here, for the caller to put in place at the next restart;
  // otherwise such a target aborts the copy.
  bool writeBesideInUse = false;
  std::vector<std::string> writtenBeside;
};

// The suffix of a file written beside a target in use.

// The longest target path the notification callback builds.
inline constexpr std::size_t kMaxCabinetTargetPath = 255;

// True when a name stored in a cabinet stays below the folder it is extracted to: relative, without a
// drive or stream colon, and without a part that climbs with "..".
bool IsSafeCabinetEntryName(const std::string& name);

// The memory, file and notification callbacks of a cabinet copy, over the machine's files. A file opened
// for reading alone (the cabinet) is read ahead, and a file being extracted is written behind.
class CabinetCallbacks final : public CabinetFileCallbacks, public CabinetNotify {
 public:
  // Every file extracted whole and every folder made is added to the record, when one is given.
  explicit CabinetCallbacks(Files& files, InstallRecord* record = nullptr) : files_(files), record_(record) {}

  void* CabAlloc(std::uint32_t bytes) override;
  void CabFree(void* block) override;
  std::intptr_t CabOpen(const char* path, int openFlags, int permission) override;
  std::uint32_t CabRead(std::intptr_t file, void* buffer, std::uint32_t count) override;
  std::uint32_t CabWrite(std::intptr_t file, void* buffer, std::uint32_t count) override;
  int CabClose(std::intptr_t file) override;
  std::int32_t CabSeek(std::intptr_t file, std::int32_t distance, int origin) override;
  std::intptr_t CabNotify(CabinetNotificationType type, CabinetNotification& notification) override;

 private:
  std::intptr_t CopyFile(const CabinetNotification& notification);
  // Makes the folders of an entry's name that are missing, one level at a time below the destination.
  // Failed, with its line, when the record cannot name a folder first (the folder is not made).
  ActionResult MakeEntryFolders(const std::string& destination, const std::string& name);
  std::intptr_t CloseFileInfo(const CabinetNotification& notification);
  // Writes what a file being extracted still gathers and forgets its buffer; true when there was none.
  bool FlushWriter(std::intptr_t file);

  Files& files_;
  InstallRecord* record_;
  // The paths of the files being extracted.
  std::map<std::intptr_t, std::string> extracting_;
  std::map<std::intptr_t, ReadAheadFile> readers_;
  std::map<std::intptr_t, WriteBehindFile> writers_;
};
