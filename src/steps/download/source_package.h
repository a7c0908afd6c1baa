#pragma once

#include <optional>
#include <string>

#include "platform/crypto.h"

struct DownloadContext;
struct PackageDownload;

// The folder of an offline layout that holds the packages, and the list of their digests in it.
inline constexpr char kLayoutPackageFolder[] = "downloads";
inline constexpr char kLayoutDigestList[] = "SHA256SUMS";

// A package from the local source (`run.packageSource`) instead of the download host: read from
// SOURCE\downloads\NAME, copied piece by piece into the local directory while its digest is taken, and
// used only when that digest is the one SOURCE\downloads\SHA256SUMS lists for it (a package the list does
// not name is refused: media are not trusted blindly). The lines are those of a download, with the source
// in the host's place; a copy that fails or does not match is tried again, five attempts in all, and
// leaves nothing. Always true (the source needs no request); `processed` as for a download.
bool CopySourcePackage(DownloadContext& run, const PackageDownload& download, bool& processed);

// The digest that a list in the form sha256sum writes ("HEX  NAME" a line) gives for the name (names
// without case); nullopt when it gives none, or the list cannot be read.
std::optional<Sha256Hash::Digest> ListedDigest(DownloadContext& run, const std::string& listPath,
                                               const std::string& name);
