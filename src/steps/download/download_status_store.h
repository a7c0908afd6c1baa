#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/port_guards.h"
#include "steps/download/package_download.h"

struct RunContext;

// Keeps the record of which server packages were downloaded: a REG_SZ value "DownloadStatus" in the key
// "Update" below HKEY_LOCAL_MACHINE\Software\<company>\<product>. Made with empty key names, which nothing
// fills in: while a name is empty, every read and write returns false without touching the registry.
// Making it drops any impersonation of the thread, so the process runs under its own token from the start.
class DownloadStatusStore {
 public:
  static constexpr std::size_t kMaxStatusBytes = 1024;

  explicit DownloadStatusStore(DownloadContext& run);

  // Opens Software with the access and creates the company and product keys below it.
  UniqueKey OpenProductKey(std::uint32_t access);
  // Creates "Update" below the product key.
  UniqueKey OpenUpdateKey(std::uint32_t access);
  // The recorded text (at most 1,024 bytes), into `status`; false when there is none.
  bool ReadDownloadStatus(std::string& status);
  // Sets the text, or deletes the value when given none.
  bool WriteDownloadStatus(const std::optional<std::string>& status);
  // After a server package is in place: "0;mask", the mask being the recorded one OR the package's bits.
  void RecordPackage(PackageBits bits);

  std::string companyKeyName;
  std::string productKeyName;

 private:
  RunContext& run_;
};
