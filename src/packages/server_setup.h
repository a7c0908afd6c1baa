#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packages/package_download.h"

struct SetupContext;

// The server side of a setup: server package download and update, IIS website, server file search.
// Later steps add their own fields here; each is set up by its step, not before.
class ServerSetup {
 public:
  static constexpr std::size_t kWorkBufferSize = 40960;
  static constexpr std::int32_t kDefaultAlternatePort = 8080;

  explicit ServerSetup(SetupContext& context);

  // Runs the installer package `installerName` from the update directory silently (msiexec for an MSI
  // package); true when it is in place. A failure logs the command it ran.
  bool RunServerInstaller();

  // Fetches a server package into the update folder (place 3) or the cabinet folder (place 1) and installs
  // or extracts it by its bits. False only when the request cannot be opened.
  bool DownloadServerPackage(const std::string& fileName, PackagePlace place, PackageBits bits);

  // For a repair: the update folder below the server directory, made when missing, and the cabinet folder
  // beside it. True, also when the update folder cannot be made (that is logged).
  bool PrepareServerRepair();

  // Unpacks a cabinet into the destination folder, both folder texts taking a trailing backslash. A name
  // without "cab" in it (an installer program, for example) is no cabinet: true, and nothing is done.
  bool ExtractCabinet(const std::string& cabinetName, const std::string& cabinetDirectory,
                      const std::string& destination);
  // Extracts every file of `cabinetDirectory` + `cabinetName` into the destination with the cabinet's time
  // stamps. A copy aborted by a target file that cannot be created is tried again, five attempts in all,
  // without a log line; any other failure is logged and printed once. True when the copy succeeded.
  bool CopyCabinet(const std::string& cabinetName, const std::string& cabinetDirectory,
                   const std::string& destination);

  SetupContext& owner;
  // Scratch space of the server steps, allocated once with the object.
  std::vector<char> workBuffer;
  // Port to which a site that already holds the website's port is moved.
  std::int32_t alternatePort = kDefaultAlternatePort;
  // The installer package that the next installer run starts.
  std::string installerName;
  // Where server packages are kept: the server directory followed by "Update" and by "cab".
  std::string updateDirectory;
  std::string cabDirectory;
  // The count recorded with the download status; nothing sets it.
  std::uint32_t downloadCount = 0;
};
