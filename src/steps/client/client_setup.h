#pragma once

#include <string>
#include <vector>

#include "steps/download/package_download.h"

struct SetupState;

// The client side of a setup: runtime check, client package download and extraction.
class ClientSetup {
 public:
  explicit ClientSetup(SetupState& state) : state_(state) {}

  // Fetches a client package into the update directory and runs it (a runtime installer) or extracts it
  // into the client directory (a cabinet). False only when the request cannot be opened.
  bool DownloadClientPackage(const std::string& fileName, PackageBits bits);
  // The download of a client package: its lines, its folder and what is done with it once it is in.
  PackageDownload ClientPackageDownload(const std::string& fileName, PackageBits bits);
  // Creates the update directory, installs the runtime of the planned packages when it is missing, and
  // fetches and extracts the client cabinet. False when a download could not open its request.
  bool UpdateClient(const std::vector<PlannedPackage>& packages);

  // Where client packages are saved before they are run or extracted.
  std::string updateDirectory;

 private:
  SetupState& state_;
};
