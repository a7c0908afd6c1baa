#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The bit that names a package in a download; it chooses what is done with the package once it is here.
using PackageBits = std::uint32_t;
inline constexpr PackageBits kPackageSqlExpress = 0x800;
inline constexpr PackageBits kPackageRuntime2015 = 0x1000;  // Visual C++ 2015 and later
inline constexpr PackageBits kPackageRuntime2013 = 0x2000;  // Visual C++ 2013
inline constexpr PackageBits kPackageInformationServer = 0x200000;

// Where a server package is saved: the cabinet folder or the update folder of the server.
enum class PackagePlace : std::int32_t { cabinetFolder = 1, updateFolder = 3 };

// The body is read in chunks of at most this many bytes.
inline constexpr std::size_t kDownloadChunkSize = 15360000;
// A package is fetched and processed again after a failed processing, five attempts in all.
inline constexpr int kDownloadAttempts = 5;

// Finds the text "404" in the leading text of a response body, as the download server's error page holds
// it: the bytes before the first NUL of the body, within its first chunk. Fed the body chunk by chunk as it
// arrives, so a page split across reads is still seen; a package, whose first bytes hold a NUL, is never
// looked into beyond them.
class MissingPageScanner {
 public:
  // True once the leading text holds "404".
  bool Feed(std::string_view chunk);

 private:
  bool ended_ = false;
  bool found_ = false;
  std::size_t scanned_ = 0;
  std::string tail_;  // the last two characters scanned, for a "404" across two chunks
};
