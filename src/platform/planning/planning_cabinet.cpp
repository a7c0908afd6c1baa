#include "platform/planning/planning_cabinet.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// The cabinet format's fixed header (CFHEADER) and file entry (CFFILE).
constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kFileEntrySize = 16;
constexpr std::size_t kMaxName = 256;
constexpr std::uint16_t kContinuedFromPrevious = 0xFFFD;
constexpr std::uint16_t kExecuteAttribute = 0x100;
constexpr int kReadOnlyBinary = CabinetFileCallbacks::kOpenBinary;
constexpr int kReadWritePermission = 0x180;

std::uint16_t U16(const std::vector<char>& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    (static_cast<unsigned char>(bytes[at + 1]) << 8U));
}

std::uint32_t U32(const std::vector<char>& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(U16(bytes, at)) | (static_cast<std::uint32_t>(U16(bytes, at + 2)) << 16U);
}

struct Entry {
  std::string name;
  std::int32_t size = 0;
  std::uint16_t folder = 0;
  std::uint16_t date = 0;
  std::uint16_t time = 0;
  std::uint16_t attributes = 0;
};

// Reads the whole of `count` bytes at `offset`, or fewer at the end of the file.
std::vector<char> ReadAt(CabinetFileCallbacks& callbacks, std::intptr_t file, std::uint32_t offset,
                         std::size_t count) {
  std::vector<char> bytes(count);
  if (callbacks.CabSeek(file, static_cast<std::int32_t>(offset), CabinetFileCallbacks::kSeekStart) < 0) {
    return {};
  }
  std::size_t filled = 0;
  while (filled < count) {
    const std::uint32_t read =
        callbacks.CabRead(file, bytes.data() + filled, static_cast<std::uint32_t>(count - filled));
    if (read == 0 || read == static_cast<std::uint32_t>(-1)) {
      break;
    }
    filled += read;
  }
  bytes.resize(filled);
  return bytes;
}

}  // namespace

CabinetContext PlanningCabinet::Create(CabinetFileCallbacks& callbacks, int /*cpuType*/,
                                       CabinetErrorRecord& record) {
  const auto context = static_cast<CabinetContext>(next_++);
  contexts_[context] = Context{&callbacks, &record};
  return context;
}

bool PlanningCabinet::Copy(CabinetContext context, const std::string& cabinetName,
                           const std::string& cabinetPath, int /*flags*/, CabinetNotify& notify, void* user) {
  const auto found = contexts_.find(context);
  if (found == contexts_.end()) {
    return false;
  }
  CabinetFileCallbacks& callbacks = *found->second.callbacks;
  CabinetErrorRecord& record = *found->second.record;
  const auto fail = [&record](CabinetError error) {
    record = CabinetErrorRecord{static_cast<int>(error), 0, true};
    return false;
  };
  const std::string fullPath = cabinetPath + cabinetName;
  const std::intptr_t cabinet = callbacks.CabOpen(fullPath.c_str(), kReadOnlyBinary, kReadWritePermission);
  if (cabinet == -1) {
    return fail(CabinetError::cabinetNotFound);
  }
  std::vector<Entry> entries;
  const std::vector<char> header = ReadAt(callbacks, cabinet, 0, kHeaderSize);
  bool readable = header.size() == kHeaderSize && std::memcmp(header.data(), "MSCF", 4) == 0;
  if (readable) {
    const std::uint32_t filesAt = U32(header, 16);
    const std::uint16_t count = U16(header, 28);
    const std::vector<char> table =
        ReadAt(callbacks, cabinet, filesAt, count * (kFileEntrySize + kMaxName + 1));
    std::size_t at = 0;
    for (std::uint16_t i = 0; i < count && readable; ++i) {
      const std::size_t nameEnd =
          at + kFileEntrySize <= table.size()
              ? std::string_view(table.data(), table.size()).find('\0', at + kFileEntrySize)
              : std::string_view::npos;
      if (nameEnd == std::string_view::npos || nameEnd - at - kFileEntrySize > kMaxName) {
        readable = false;
        break;
      }
      entries.push_back({std::string(table.data() + at + kFileEntrySize, nameEnd - at - kFileEntrySize),
                         static_cast<std::int32_t>(U32(table, at)), U16(table, at + 8), U16(table, at + 10),
                         U16(table, at + 12), U16(table, at + 14)});
      at = nameEnd + 1;
    }
  }
  callbacks.CabClose(cabinet);
  if (!readable) {
    return fail(header.size() == kHeaderSize ? CabinetError::corruptCabinet : CabinetError::notACabinet);
  }
  char empty = '\0';
  CabinetNotification info;
  info.user = user;
  info.name = &empty;
  info.info = &empty;
  info.path = cabinetPath.c_str();
  if (notify.CabNotify(CabinetNotificationType::cabinetInfo, info) != 0) {
    return fail(CabinetError::userAbort);
  }
  for (const Entry& entry : entries) {
    CabinetNotification copy;
    copy.user = user;
    copy.name = entry.name.c_str();
    copy.size = entry.size;
    copy.date = entry.date;
    copy.time = entry.time;
    copy.attributes = entry.attributes;
    copy.folderIndex = entry.folder;
    if (entry.folder == kContinuedFromPrevious) {
      if (notify.CabNotify(CabinetNotificationType::partialFile, copy) != 0) {
        return fail(CabinetError::userAbort);
      }
      continue;
    }
    const std::intptr_t target = notify.CabNotify(CabinetNotificationType::copyFile, copy);
    if (target == -1) {
      return fail(CabinetError::userAbort);
    }
    if (target == 0) {
      continue;
    }
    CabinetNotification close = copy;
    close.file = target;
    close.size = (entry.attributes & kExecuteAttribute) != 0 ? 1 : 0;
    if (notify.CabNotify(CabinetNotificationType::closeFileInfo, close) == 0) {
      return fail(CabinetError::userAbort);
    }
  }
  return true;
}

bool PlanningCabinet::Destroy(CabinetContext context) {
  return contexts_.erase(context) != 0;
}
