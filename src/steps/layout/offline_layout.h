#pragma once

#include <string>
#include <vector>

struct DownloadContext;

// Builds an offline layout in `folder` for machines without access to the download host: each package
// into FOLDER\downloads\ under its name, with the digest the host publishes for it and checked against it;
// a package a former layout left there whole (its digest the published one) is kept, so that a layout cut
// off is resumed; FOLDER\downloads\SHA256SUMS lists the digest of every package ("HEX  NAME", as sha256sum
// writes it); the setup program `setupProgram` is copied into the folder. One line per package on the
// console and in the log, with its bytes and rate. A package without a published digest, or that does not
// arrive whole and matching, is not left in the layout. Changes nothing else on the machine. True when
// every package is in the layout.
bool BuildOfflineLayout(DownloadContext& run, const std::vector<std::string>& packages,
                        const std::string& folder, const std::string& setupProgram);
