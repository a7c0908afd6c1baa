#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/action_result.h"
#include "core/flags.h"
#include "plan/package_plan.h"
#include "platform/crypto.h"
#include "product/setup_log.h"

struct DownloadContext;
class Files;
class InstallRecord;

// The leading text of a body, where an error page's "404" is looked for, ends within its first this many
// bytes (the first chunk of the body).
inline constexpr std::size_t kDownloadChunkSize = 15360000;
// The body is read, and written, in pieces of at most this many bytes: the one buffer a download holds.
// A piece is no chunk: the leading text is followed across pieces.
inline constexpr std::size_t kDownloadReadSize = std::size_t{1} << 16;
// A package is fetched and processed again after a failed processing, five attempts in all.
inline constexpr int kDownloadAttempts = 5;

// What is done with a package once it is saved, and the verb of the line that reports it failing.
struct Processing {
  const char* verb;
  std::function<ActionResult()> run;
};

// One package download: the tag and texts of its lines, where it is saved and what is done with it.
struct PackageDownload {
  LogTag tag;
  std::string fileName;
  std::string localDirectory;
  const char* downloading;
  const char* downloaded;
  // A request that could not be sent gets its connection-failure line.
  bool reportFailedSend;
  Processing processing;
  // The package runs in a later step (a server cabinet unpacked into the server's folder, SQL Server's
  // setup): it stays held, as it was checked, in the run's held packages.
  bool holdUntilRun = false;
  // The package is only laid into an offline layout: nothing runs it here, so its publisher is checked by
  // the run that installs from the layout.
  bool laidOut = false;
};

// Where a package's body arrives until it is whole: NAME.part beside it.
std::string PackagePartPath(const PackageDownload& download);
// The package that was there (an earlier run's) is kept until the component commits; the new one and its
// part are the run's from their first byte: a run cut off in a transfer leaves nothing the record does not
// name. The first line the record could not take fails it, and neither may then be written.
ActionResult RecordPackageAhead(InstallRecord& record, const PackageDownload& download);
// The package is there and another process holds it so that it cannot be written (a sharing violation:
// an installer that an earlier, cut-off run started, running on).
bool PackageHeldByAnother(Files& files, const std::string& path);

// How one attempt's transfer ended: the package whole under its name, an answer that there is no such
// package, or a body that did not arrive whole (what did stays in the part for the next attempt).
enum class Fetched { whole, missing, broken };

// A package's first transfer, made beside the run ahead of the package's turn: the digest the server
// publishes for it, how the transfer ended (nullopt: no request could be opened) and what it leaves for
// the next attempt, and the lines it logged, held until its turn.
struct FetchedAhead {
  // False: the package and its part are in the record and nothing more; its turn makes the transfer (a run
  // that only plans, or no thread to fetch beside the run).
  bool transferMade = false;
  std::optional<Sha256Hash::Digest> published;
  std::optional<Fetched> fetched;
  std::uint64_t partBytes = 0;
  std::uint32_t serverPauseMs = 0;
  std::vector<HeldLine> lines;
};

// The first transfer of a package as `DownloadPackage` makes it (the package and its part already in the
// record), by work beside the run with a context of its own (`ahead`), whose lines are held in the result.
// Once `stop` is set it ends at the next piece, what arrived staying in the part.
void FetchFirstAttempt(DownloadContext& ahead, const PackageDownload& download, const std::atomic<bool>& stop,
                       FetchedAhead& result);

// Fetches "downloads/NAME" from the download host into the local directory and processes it, again after
// a failed processing, five attempts in all. A package the server does not have is logged and leaves an
// empty file. False only when the request cannot be opened; `processed` tells whether a processing
// succeeded.
bool DownloadPackage(DownloadContext& run, const PackageDownload& download, bool& processed);

// The SHA-256 digest the download host publishes beside a package ("downloads/NAME.sha256", "HEX  NAME" as
// sha256sum writes it), or the one a layout that is the source lists; nullopt when there is none, or the
// host cannot be reached.
std::optional<Sha256Hash::Digest> PublishedPackageDigest(DownloadContext& run, const std::string& fileName);
// The digest that the first 64 characters of the text give in hex digits of either case; nullopt when they
// are not 64 hex digits.
std::optional<Sha256Hash::Digest> DigestOfText(std::string_view text);

// The lines a package's fetch begins with ("Getting NAME from server", "DOWNLOADING;SOURCE;downloads/NAME")
// and ends with (DOWNLOADED, or the line of a processing that failed after five attempts, the component
// then failed), the same for the download host and a layout as the source; the first gives the object
// path "downloads/NAME". A package the source does not have is its own line, and fails the component.
std::string BeginPackageLines(DownloadContext& run, const PackageDownload& download,
                              const std::string& source);
void ReportMissingPackage(DownloadContext& run, const PackageDownload& download);
void EndPackageLines(DownloadContext& run, const PackageDownload& download, bool processed,
                     const std::string& source);

// The SHA-256 digest of a file, read piece by piece; nullopt when it cannot be read.
std::optional<Sha256Hash::Digest> FileSha256(DownloadContext& run, const std::string& path);

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
