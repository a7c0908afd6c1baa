#include "steps/toolkit/cabinet_callbacks.h"

#include <climits>
#include <cstdlib>
#include <string_view>

#include "core/utf8_text.h"
#include "journal/install_record.h"
#include "platform/files.h"
#include "steps/actions/file_written.h"
#include "steps/actions/folder_made.h"
#include "steps/actions/module_at_restart.h"
#include "steps/toolkit/protected_folder.h"

namespace {

constexpr char kUnsafeName[] = "the name leaves the destination folder";
constexpr char kPathTooLong[] = "the target path is longer than 255 characters";
constexpr char kThroughReparsePoint[] = "the target path passes a junction, symbolic link or mount point";

FileHandle ToFile(std::intptr_t file) {
  return static_cast<FileHandle>(static_cast<std::uintptr_t>(file));
}

std::intptr_t FromFile(FileHandle file) {
  return static_cast<std::intptr_t>(static_cast<std::uintptr_t>(file));
}

// A part that Windows reads as the parent folder: "..", and "..." or ".. " as well, since trailing dots and
// blanks are dropped from a name.
bool ClimbsUp(std::string_view part) {
  std::size_t dots = 0;
  for (const char c : part) {
    if (c == '.') {
      ++dots;
    } else if (c != ' ') {
      return false;
    }
  }
  return dots >= 2;
}

}  // namespace

bool IsSafeCabinetEntryName(const std::string& name) {
  if (name.empty() || name.front() == '\\' || name.front() == '/' || name.find(':') != std::string::npos) {
    return false;
  }
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = name.find_first_of("\\/", start);
    const std::string_view part =
        std::string_view(name).substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (ClimbsUp(part)) {
      return false;
    }
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return true;
}

void* CabinetCallbacks::CabAlloc(std::uint32_t bytes) {
  return std::malloc(bytes);  // NOLINT(cppcoreguidelines-no-malloc): FDI frees it through CabFree
}

void CabinetCallbacks::CabFree(void* block) {
  std::free(block);  // NOLINT(cppcoreguidelines-no-malloc)
}

std::intptr_t CabinetCallbacks::CabOpen(const char* path, int openFlags, int /*permission*/) {
  std::uint32_t access = Files::kGenericRead;
  if ((openFlags & kOpenReadWrite) != 0) {
    access = Files::kGenericRead | Files::kGenericWrite;
  } else if ((openFlags & kOpenWriteOnly) != 0) {
    access = Files::kGenericWrite;
  }
  const std::uint32_t disposition =
      (openFlags & kOpenCreate) != 0 ? Files::kCreateAlways : Files::kOpenExisting;
  const FileHandle file =
      files_.Create(path, access, Files::kShareRead, disposition, Files::kAttributeNormal);
  if (access == Files::kGenericRead && file != FileHandle::invalid) {
    readers_.erase(FromFile(file));
    readers_.try_emplace(FromFile(file), files_, file);
  }
  return FromFile(file);
}

std::uint32_t CabinetCallbacks::CabRead(std::intptr_t file, void* buffer, std::uint32_t count) {
  const auto reader = readers_.find(file);
  if (reader != readers_.end()) {
    return reader->second.Read(buffer, count).value_or(UINT_MAX);
  }
  return files_.Read(ToFile(file), buffer, count).value_or(UINT_MAX);
}

std::uint32_t CabinetCallbacks::CabWrite(std::intptr_t file, void* buffer, std::uint32_t count) {
  const auto writer = writers_.find(file);
  if (writer != writers_.end()) {
    return writer->second.Write(buffer, count).value_or(UINT_MAX);
  }
  return files_.WritePart(ToFile(file), buffer, count).value_or(UINT_MAX);
}

int CabinetCallbacks::CabClose(std::intptr_t file) {
  readers_.erase(file);
  FlushWriter(file);
  return files_.Close(ToFile(file)) ? 0 : -1;
}

std::int32_t CabinetCallbacks::CabSeek(std::intptr_t file, std::int32_t distance, int origin) {
  if (const auto writer = writers_.find(file); writer != writers_.end() && !writer->second.Flush()) {
    return -1;
  }
  const auto reader = readers_.find(file);
  const auto position = reader != readers_.end()
                            ? reader->second.Seek(distance, static_cast<std::uint32_t>(origin))
                            : files_.Seek(ToFile(file), distance, static_cast<std::uint32_t>(origin));
  return position ? static_cast<std::int32_t>(*position) : -1;
}

std::intptr_t CabinetCallbacks::CabNotify(CabinetNotificationType type, CabinetNotification& notification) {
  switch (type) {
    case CabinetNotificationType::cabinetInfo:
    case CabinetNotificationType::partialFile:
    case CabinetNotificationType::enumerate:
      return 0;
    case CabinetNotificationType::copyFile:
      return CopyFile(notification);
    case CabinetNotificationType::closeFileInfo:
      return CloseFileInfo(notification);
    case CabinetNotificationType::nextCabinet:
      return notification.error == CabinetError::none ? 0 : -1;
  }
  return -1;
}

std::intptr_t CabinetCallbacks::CopyFile(const CabinetNotification& notification) {
  auto& target = *static_cast<CabinetTarget*>(notification.user);
  const std::string name = notification.name != nullptr ? notification.name : "";
  // A name from the cabinet is data from the download: it may not place a file outside the destination,
  // and the target path keeps to its width. Either refusal aborts the copy.
  // A name that is no UTF-8 (one the cabinet marks as UTF-8 and is not) could not be written by any wide
  // call; it is named in the log with its stray bytes as '?'.
  if (!IsSafeCabinetEntryName(name) || !Utf8ToUtf16(name)) {
    target.rejectedEntry = PrintableUtf8(name);
    target.rejectionReason = kUnsafeName;
    return -1;
  }
  std::string path = target.destination;
  path += '\\';
  path += name;
  if (path.size() > kMaxCabinetTargetPath) {
    target.rejectedEntry = name;
    target.rejectionReason = kPathTooLong;
    return -1;
  }
  // The entry's folders are made below the destination (the name has been checked to stay inside it).
  if (ActionResult made = MakeEntryFolders(target.destination, name); !made) {
    target.rejectedEntry = name;
    target.rejectionReason = made.line;
    return -1;
  }
  // Nor may a folder on the way lead elsewhere: a junction a user made in a folder of theirs would send the
  // setup's write wherever it points.
  if (ReparsePointOnPath(files_, path)) {
    target.rejectedEntry = name;
    target.rejectionReason = kThroughReparsePoint;
    return -1;
  }
  // A file there already is kept whole until the component is committed; a new one is the run's. Neither
  // is written before the record says so.
  if (ActionResult recorded = BeforeWritingFile(record_, path); !recorded) {
    target.rejectedEntry = name;
    target.rejectionReason = recorded.line;
    return -1;
  }
  // An existing file is replaced; one that cannot be created (in use, or its folder missing) aborts, unless
  // the caller takes a file in use written beside it.
  FileHandle file = files_.Create(path, Files::kGenericWrite, Files::kShareRead, Files::kCreateAlways,
                                  Files::kAttributeNormal);
  // Only a module a process holds is in use: a target that is read-only or denied is a failure, which a
  // replacement at the next restart would meet again, unseen, at boot.
  const std::uint32_t error = file == FileHandle::invalid ? files_.LastCreateError() : 0;
  const bool inUse = error == Files::kErrorSharingViolation || error == Files::kErrorUserMappedFile;
  if (file == FileHandle::invalid && target.writeBesideInUse && inUse &&
      files_.FileAttributes(path).has_value()) {
    const std::string beside = path + kBesideSuffix;
    if (ActionResult recorded = BeforeWritingBeside(record_, path); !recorded) {
      target.rejectedEntry = name;
      target.rejectionReason = recorded.line;
      return -1;
    }
    file = files_.Create(beside, Files::kGenericWrite, Files::kShareRead, Files::kCreateAlways,
                         Files::kAttributeNormal);
    if (file != FileHandle::invalid) {
      target.writtenBeside.push_back(path);
      path = beside;
    }
  }
  if (file != FileHandle::invalid) {
    writers_.erase(FromFile(file));
    writers_.try_emplace(FromFile(file), files_, file, static_cast<std::uint32_t>(notification.size));
    extracting_[FromFile(file)] = path;
  }
  return FromFile(file);
}

bool CabinetCallbacks::FlushWriter(std::intptr_t file) {
  const auto writer = writers_.find(file);
  if (writer == writers_.end()) {
    return true;
  }
  const bool flushed = writer->second.Flush();
  writers_.erase(writer);
  return flushed;
}

ActionResult CabinetCallbacks::MakeEntryFolders(const std::string& destination, const std::string& name) {
  for (std::size_t end = name.find_first_of("\\/"); end != std::string::npos;
       end = name.find_first_of("\\/", end + 1)) {
    // A folder already there (or one that cannot be made) is left to the file's own creation to judge.
    // A folder to be made is in the record first.
    const std::string folder = destination + '\\' + name.substr(0, end);
    if (files_.FileAttributes(folder)) {
      continue;
    }
    if (ActionResult made = MakeFolder(record_, files_, {folder, folder}); NotRecorded(made)) {
      return made;
    }
  }
  return ActionResult::Done();
}

std::intptr_t CabinetCallbacks::CloseFileInfo(const CabinetNotification& notification) {
  // What is still gathered reaches the file before its times are set.
  const bool flushed = FlushWriter(notification.file);
  const FileHandle file = ToFile(notification.file);
  // The cabinet keeps local times; the file system keeps UTC. The stored attributes are not applied.
  if (const auto local = files_.DosDateTimeToFileTime(notification.date, notification.time)) {
    if (const auto utc = files_.LocalFileTimeToFileTime(*local)) {
      files_.SetFileTimes(file, *utc, *utc, *utc);
    }
  }
  bool closed = files_.Close(file) && flushed;
  const auto extracted = extracting_.find(notification.file);
  if (extracted != extracting_.end()) {
    // A file the record cannot name as written fails the copy: the component is taken back.
    if (closed) {
      closed = FileWritten(record_, extracted->second).ok();
    }
    extracting_.erase(extracted);
  }
  return closed ? 1 : 0;
}
