#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The File Decompression Interface of the cabinet library: a context created with a table of memory and
// file callbacks, a copy that walks one cabinet and asks a notification callback what to do with each
// file, and an error record that the library fills in when a call fails.

// FDIERROR values, as the library numbers them.
enum class CabinetError : int {
  none = 0,
  cabinetNotFound = 1,
  notACabinet = 2,
  unknownCabinetVersion = 3,
  corruptCabinet = 4,
  allocFail = 5,
  badCompressionType = 6,
  mdiFail = 7,
  targetFile = 8,
  reserveMismatch = 9,
  wrongCabinet = 10,
  userAbort = 11,
};

// The error record (ERF). `oper` holds the FDIERROR value of the last failure.
struct CabinetErrorRecord {
  int oper = 0;
  int type = 0;
  bool error = false;
};

// A created decompression context (HFDI); `none` is a failed create.
enum class CabinetContext : std::uintptr_t { none = 0 };

// Notification types (FDINOTIFICATIONTYPE).
enum class CabinetNotificationType : int {
  cabinetInfo = 0,
  partialFile = 1,
  copyFile = 2,
  closeFileInfo = 3,
  nextCabinet = 4,
  enumerate = 5,
};

// What a notification carries (FDINOTIFICATION); which fields are set depends on the type.
struct CabinetNotification {
  std::int32_t size = 0;         // cb: the file's uncompressed size
  const char* name = nullptr;    // psz1: the file's name as stored, with any folder part
  const char* info = nullptr;    // psz2
  const char* path = nullptr;    // psz3
  void* user = nullptr;          // pv: the user value given to the copy
  std::intptr_t file = 0;        // hf: the handle that the copy-file notification returned
  std::uint16_t date = 0;        // DOS date of the file
  std::uint16_t time = 0;        // DOS time of the file
  std::uint16_t attributes = 0;  // attributes stored in the cabinet
  std::uint16_t setId = 0;
  std::uint16_t cabinetIndex = 0;
  std::uint16_t folderIndex = 0;
  CabinetError error = CabinetError::none;  // fdie of a next-cabinet notification
};

// The memory and file callbacks of a context. File handles are the integers the open callback returns;
// -1 stands for a failed open.
class CabinetFileCallbacks {
 public:
  // Open flags (the C runtime's _O_ values) and seek origins, as the library passes them.
  static constexpr int kOpenWriteOnly = 0x1;
  static constexpr int kOpenReadWrite = 0x2;
  static constexpr int kOpenCreate = 0x100;
  static constexpr int kOpenBinary = 0x8000;
  static constexpr int kSeekStart = 0;
  static constexpr int kSeekCurrent = 1;
  static constexpr int kSeekEnd = 2;

  CabinetFileCallbacks() = default;
  CabinetFileCallbacks(const CabinetFileCallbacks&) = delete;
  CabinetFileCallbacks& operator=(const CabinetFileCallbacks&) = delete;
  virtual ~CabinetFileCallbacks() = default;

  virtual void* CabAlloc(std::uint32_t bytes) = 0;
  virtual void CabFree(void* block) = 0;
  virtual std::intptr_t CabOpen(const char* path, int openFlags, int permission) = 0;
  // The count read or written, or UINT_MAX (-1) when the call fails.
  virtual std::uint32_t CabRead(std::intptr_t file, void* buffer, std::uint32_t count) = 0;
  virtual std::uint32_t CabWrite(std::intptr_t file, void* buffer, std::uint32_t count) = 0;
  virtual int CabClose(std::intptr_t file) = 0;
  virtual std::int32_t CabSeek(std::intptr_t file, std::int32_t distance, int origin) = 0;
};

// The notification callback of a copy.
class CabinetNotify {
 public:
  CabinetNotify() = default;
  CabinetNotify(const CabinetNotify&) = delete;
  CabinetNotify& operator=(const CabinetNotify&) = delete;
  virtual ~CabinetNotify() = default;

  virtual std::intptr_t CabNotify(CabinetNotificationType type, CabinetNotification& notification) = 0;
};

class Cabinet {
 public:
  static constexpr int kCpuUnknown = -1;

  Cabinet() = default;
  Cabinet(const Cabinet&) = delete;
  Cabinet& operator=(const Cabinet&) = delete;
  virtual ~Cabinet() = default;

  // FDICreate. The callbacks and the record stay in use until the context is destroyed.
  virtual CabinetContext Create(CabinetFileCallbacks& callbacks, int cpuType, CabinetErrorRecord& record) = 0;
  // FDICopy of `cabinetPath` + `cabinetName` (joined as they are), without a decryption callback.
  virtual bool Copy(CabinetContext context, const std::string& cabinetName, const std::string& cabinetPath,
                    int flags, CabinetNotify& notify, void* user) = 0;
  // FDIDestroy.
  virtual bool Destroy(CabinetContext context) = 0;
};
