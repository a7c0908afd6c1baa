#include "fake_cabinet.h"

#include <mspack.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

// libmspack reads and writes through an mspack_system of ours; each of its file objects stands for a handle
// of the caller's callbacks.
struct BridgeFile {
  std::intptr_t handle = -1;
  bool target = false;  // the file being extracted: its handle belongs to the notification callback
};

BridgeFile& FileOf(mspack_file* file) {
  return *reinterpret_cast<BridgeFile*>(file);
}

mspack_file* NewFile(std::intptr_t handle, bool target) {
  return reinterpret_cast<mspack_file*>(new BridgeFile{handle, target});
}

constexpr std::size_t kMaxPath = 260;
constexpr std::uint32_t kCabinetHeaderSize = 36;
constexpr int kReadOnlyBinary = CabinetFileCallbacks::kOpenBinary;  // _O_RDONLY | _O_BINARY
constexpr int kReadWritePermission = 0x180;                         // _S_IREAD | _S_IWRITE

// libmspack copies the system it is given and its free has no context at all: the callbacks of the running
// copy, and the handle of the file being extracted, are kept per thread.
thread_local CabinetFileCallbacks* currentCallbacks = nullptr;
thread_local std::intptr_t currentTarget = -1;

mspack_file* Open(mspack_system* /*system*/, const char* filename, int mode) {
  if (mode == MSPACK_SYS_OPEN_WRITE) {
    return NewFile(currentTarget, true);
  }
  if (mode != MSPACK_SYS_OPEN_READ) {
    return nullptr;
  }
  const std::intptr_t handle = currentCallbacks->CabOpen(filename, kReadOnlyBinary, kReadWritePermission);
  if (handle == -1) {
    return nullptr;
  }
  return NewFile(handle, false);
}

void Close(mspack_file* file) {
  BridgeFile* open = &FileOf(file);
  if (!open->target) {
    currentCallbacks->CabClose(open->handle);
  }
  delete open;
}

int Read(mspack_file* file, void* buffer, int bytes) {
  if (bytes < 0) {
    return -1;
  }
  const std::uint32_t read =
      currentCallbacks->CabRead(FileOf(file).handle, buffer, static_cast<std::uint32_t>(bytes));
  return read == UINT_MAX ? -1 : static_cast<int>(read);
}

int Write(mspack_file* file, void* buffer, int bytes) {
  if (bytes < 0) {
    return -1;
  }
  const std::uint32_t written =
      currentCallbacks->CabWrite(FileOf(file).handle, buffer, static_cast<std::uint32_t>(bytes));
  return written != static_cast<std::uint32_t>(bytes) ? -1 : bytes;
}

int Seek(mspack_file* file, off_t offset, int mode) {
  if (offset < INT32_MIN || offset > INT32_MAX) {
    return -1;
  }
  return currentCallbacks->CabSeek(FileOf(file).handle, static_cast<std::int32_t>(offset), mode) == -1 ? -1
                                                                                                       : 0;
}

off_t Tell(mspack_file* file) {
  const std::int32_t position =
      currentCallbacks->CabSeek(FileOf(file).handle, 0, CabinetFileCallbacks::kSeekCurrent);
  return position == -1 ? -1 : static_cast<off_t>(static_cast<std::uint32_t>(position));
}

void Message(mspack_file* /*file*/, const char* /*format*/, ...) {}

void* Alloc(mspack_system* /*system*/, std::size_t bytes) {
  return bytes > UINT32_MAX ? nullptr : currentCallbacks->CabAlloc(static_cast<std::uint32_t>(bytes));
}

void Free(void* block) {
  currentCallbacks->CabFree(block);
}

void CopyBytes(void* source, void* destination, std::size_t bytes) {
  std::memcpy(destination, source, bytes);
}

// The FDIERROR of a failed open of the cabinet.
CabinetError OpenError(int error) {
  switch (error) {
    case MSPACK_ERR_OPEN:
      return CabinetError::cabinetNotFound;
    case MSPACK_ERR_SIGNATURE:
      return CabinetError::notACabinet;
    case MSPACK_ERR_NOMEMORY:
      return CabinetError::allocFail;
    default:
      return CabinetError::corruptCabinet;
  }
}

// The FDIERROR of a failed extraction of one file.
CabinetError ExtractError(int error) {
  switch (error) {
    case MSPACK_ERR_WRITE:
      return CabinetError::targetFile;
    case MSPACK_ERR_NOMEMORY:
      return CabinetError::allocFail;
    case MSPACK_ERR_DECRUNCH:
      return CabinetError::mdiFail;
    default:
      return CabinetError::corruptCabinet;
  }
}

std::uint16_t DosDate(const mscabd_file& file) {
  return static_cast<std::uint16_t>(((file.date_y - 1980) << 9) | (file.date_m << 5) | file.date_d);
}

std::uint16_t DosTime(const mscabd_file& file) {
  return static_cast<std::uint16_t>((file.time_h << 11) | (file.time_m << 5) | (file.time_s / 2));
}

// Sets the callbacks of one call for libmspack's context-free functions.
class CallScope {
 public:
  explicit CallScope(CabinetFileCallbacks& callbacks) { currentCallbacks = &callbacks; }
  ~CallScope() {
    currentCallbacks = nullptr;
    currentTarget = -1;
  }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
};

struct Decompressor {
  explicit Decompressor(mspack_system* system) : handle(mspack_create_cab_decompressor(system)) {}
  ~Decompressor() { mspack_destroy_cab_decompressor(handle); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
  mscab_decompressor* handle;
};

struct OpenCabinet {
  OpenCabinet(mscab_decompressor* owner, const char* path)
      : decompressor(owner), cabinet(owner->open(owner, path)) {}
  ~OpenCabinet() {
    if (cabinet != nullptr) {
      decompressor->close(decompressor, cabinet);
    }
  }
  OpenCabinet(const OpenCabinet&) = delete;
  OpenCabinet& operator=(const OpenCabinet&) = delete;
  mscab_decompressor* decompressor;
  mscabd_cabinet* cabinet;
};

// A name stored without _A_NAME_IS_UTF is ANSI text; this machine's code page is Latin-1.
std::string NameAsUtf8(const char* stored, int attributes) {
  const std::string_view name = stored != nullptr ? stored : "";
  if ((attributes & MSCAB_ATTRIB_UTF_NAME) != 0) {
    return std::string(name);
  }
  std::string utf8;
  for (const char letter : name) {
    const auto byte = static_cast<unsigned char>(letter);
    if (byte < 0x80U) {
      utf8 += letter;
    } else {
      utf8 += static_cast<char>(0xC0U | (byte >> 6U));
      utf8 += static_cast<char>(0x80U | (byte & 0x3FU));
    }
  }
  return utf8;
}

}  // namespace

CabinetContext FakeCabinet::Create(CabinetFileCallbacks& callbacks, int /*cpuType*/,
                                   CabinetErrorRecord& record) {
  if (failCreate) {
    record = CabinetErrorRecord{static_cast<int>(CabinetError::allocFail), 0, true};
    return CabinetContext::none;
  }
  const auto context = static_cast<CabinetContext>(nextContext_++);
  contexts_[context] = Context{&callbacks, &record};
  return context;
}

bool FakeCabinet::Copy(CabinetContext context, const std::string& cabinetName, const std::string& cabinetPath,
                       int /*flags*/, CabinetNotify& notify, void* user) {
  const auto found = contexts_.find(context);
  if (found == contexts_.end()) {
    return false;
  }
  ++copies;
  CabinetErrorRecord& record = *found->second.record;
  const auto fail = [&record](CabinetError error) {
    record = CabinetErrorRecord{static_cast<int>(error), 0, true};
    return false;
  };
  if (cabinetPath.size() + cabinetName.size() + 3 > kMaxPath) {
    return fail(CabinetError::cabinetNotFound);
  }
  const std::string fullPath = cabinetPath + cabinetName;

  mspack_system system{Open, Close, Read, Write, Seek, Tell, Message, Alloc, Free, CopyBytes, nullptr};
  const CallScope scope(*found->second.callbacks);
  // As FDI does, the cabinet header is read first: a file that cannot hold one, or does not start with
  // the signature, is no cabinet.
  {
    CabinetFileCallbacks& callbacks = *found->second.callbacks;
    const std::intptr_t cabinet = callbacks.CabOpen(fullPath.c_str(), kReadOnlyBinary, kReadWritePermission);
    if (cabinet == -1) {
      return fail(CabinetError::cabinetNotFound);
    }
    char header[kCabinetHeaderSize] = {};
    const std::uint32_t read = callbacks.CabRead(cabinet, header, kCabinetHeaderSize);
    callbacks.CabClose(cabinet);
    if (read != kCabinetHeaderSize || std::memcmp(header, "MSCF", 4) != 0) {
      return fail(CabinetError::notACabinet);
    }
  }
  const Decompressor decompressor(&system);
  if (decompressor.handle == nullptr) {
    return fail(CabinetError::allocFail);
  }
  mscab_decompressor* cabd = decompressor.handle;
  const OpenCabinet open(cabd, fullPath.c_str());
  if (open.cabinet == nullptr) {
    return fail(OpenError(cabd->last_error(cabd)));
  }

  char empty = '\0';
  CabinetNotification info;
  info.user = user;
  info.name = open.cabinet->nextname != nullptr ? open.cabinet->nextname : &empty;
  info.info = open.cabinet->nextinfo != nullptr ? open.cabinet->nextinfo : &empty;
  info.path = cabinetPath.c_str();
  info.setId = open.cabinet->set_id;
  info.cabinetIndex = open.cabinet->set_index;
  if (notify.CabNotify(CabinetNotificationType::cabinetInfo, info) != 0) {
    return fail(CabinetError::userAbort);
  }

  for (mscabd_file* file = open.cabinet->files; file != nullptr; file = file->next) {
    CabinetNotification copy;
    copy.user = user;
    // As the adapter gives it: UTF-8, read from the ANSI code page (Latin-1 here) unless marked as UTF-8.
    const std::string name = NameAsUtf8(file->filename, file->attribs);
    copy.name = name.c_str();
    copy.size = static_cast<std::int32_t>(file->length);
    copy.date = DosDate(*file);
    copy.time = DosTime(*file);
    copy.attributes = static_cast<std::uint16_t>(file->attribs);
    const std::intptr_t target = notify.CabNotify(CabinetNotificationType::copyFile, copy);
    if (target == -1) {
      return fail(CabinetError::userAbort);
    }
    if (target == 0) {
      continue;
    }
    currentTarget = target;
    const int extracted = cabd->extract(cabd, file, "target");
    CabinetNotification close = copy;
    close.file = target;
    close.size = (file->attribs & MSCAB_ATTRIB_EXEC) != 0 ? 1 : 0;
    const std::intptr_t closed = notify.CabNotify(CabinetNotificationType::closeFileInfo, close);
    if (extracted != MSPACK_ERR_OK) {
      return fail(ExtractError(extracted));
    }
    if (closed == 0) {
      return fail(CabinetError::userAbort);
    }
  }
  return true;
}

bool FakeCabinet::Destroy(CabinetContext context) {
  if (contexts_.erase(context) == 0) {
    return false;
  }
  return !failDestroy;
}
