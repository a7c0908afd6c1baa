#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct DownloadContext;

// What the package source says of a package without handing it out.
struct PackageProbe {
  // The source answered: the host sent a status, or the layout's folder could be read.
  bool answered = false;
  // The WinHTTP error of a request that got no answer (a name not found, no connection, a certificate
  // that is not trusted); 0 when it was answered.
  std::uint32_t error = 0;
  // The host's status, or 200 for a package the layout holds and 404 for one it does not.
  std::uint32_t status = 0;
  // The authentication schemes a proxy that asked who the setup is (407) offers, and the setup could not
  // satisfy; 0 when none asked.
  std::uint32_t proxySchemes = 0;
  // Its size: the host's Content-Length, or the file's size in the layout.
  std::optional<std::uint64_t> size;
};

// Asks the package source about a package: a HEAD request of "downloads/NAME" on the download host,
// through the session's proxy with the certificate checked as a download checks it; with a layout as the
// source, the size of SOURCE\downloads\NAME and whether its list gives a digest for it (`listed`).
PackageProbe ProbePackage(DownloadContext& run, const std::string& fileName, bool* listed = nullptr);
