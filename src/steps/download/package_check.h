#pragma once

#include <optional>
#include <span>
#include <string>

#include "core/port_guards.h"
#include "platform/crypto.h"

struct DownloadContext;
struct PackageDownload;

// How a package that came in whole stood its check.
enum class PackageCheck {
  passed,
  unreadable,   // it could not be opened or read through the handle
  notAsListed,  // its digest is not the one published or listed for it
  refused,      // its publisher check failed: the line is logged and the component failed
};

// Opens the package sharing read only into `held` (so that, until `held` closes, no one can write, delete or
// rename it: the file checked is the file that runs), takes its SHA-256 through that handle when a digest
// is expected, and checks its publisher when the setup starts or extracts it.
PackageCheck CheckPackage(DownloadContext& run, const PackageDownload& download, const std::string& path,
                          const std::optional<Sha256Hash::Digest>& expected, std::span<char> buffer,
                          UniqueFile& held);
