#include "steps/download/package_download.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <vector>

#include "core/file_reading.h"
#include "core/hex_text.h"
#include "core/leading_number.h"
#include "core/path_text.h"
#include "core/utf8_text.h"
#include "product/download_context.h"
#include "steps/actions/package_fetched.h"
#include "steps/download/fetch_ahead.h"
#include "steps/download/http_session.h"
#include "steps/download/package_check.h"
#include "steps/download/package_texts.h"
#include "steps/download/publisher_check.h"
#include "steps/download/source_package.h"

namespace {

constexpr char kMissingText[] = "404";
constexpr char kPartSuffix[] = ".part";
constexpr char16_t kVerb[] = u"GET";
constexpr char16_t kRangeHeaders[] = u"Accept: */*\r\nRange: bytes=";
constexpr char16_t kRangeHeadersEnd[] = u"-\r\n\r\n";
// The start of a cabinet a plan reads for its directory: the header and the file entries of the
// packages, with room to spare.
constexpr std::uint32_t kDirectoryBytes = 256 * 1024;
constexpr char16_t kDirectoryRangeHeaders[] = u"Accept: */*\r\nRange: bytes=0-262143\r\n\r\n";
constexpr std::uint32_t kStatusOk = 200;
constexpr std::uint32_t kStatusPartial = 206;
constexpr std::uint32_t kStatusNotFound = 404;
constexpr std::uint32_t kStatusTooMany = 429;
constexpr std::uint32_t kStatusUnavailable = 503;
// The pause before the next attempt after a transfer that did not arrive whole, doubling from one second;
// a server that asks for a pause (Retry-After) gets it, up to a minute.
constexpr std::uint32_t kFirstPauseMs = 1000;
constexpr std::uint32_t kLongestServerPauseMs = 60000;

// A package another process holds is waited for, a second at a time, ten minutes at the most.
constexpr std::uint32_t kHeldPauseMs = 1000;
constexpr std::uint32_t kLongestHeldWaitMs = 600000;
constexpr char kWaitingFor[] = "Waiting for ";
constexpr char kStillRunning[] = ", still running from an earlier setup";
constexpr char kStillHeld[] = "Could not replace ";
constexpr char kStillHeldEnd[] = ": another process still holds it after ten minutes";

constexpr char kUrlWhat[] = "Url";
constexpr char kServerWhat[] = "Server";
constexpr char kBrokenAfter[] = " broke off after ";
constexpr char kBytes[] = " bytes";
constexpr char kRefusedStatus[] = " was refused by the server with status ";
// The digest a server may publish beside a package: NAME.sha256, "HEX  NAME" as sha256sum writes it.
constexpr char16_t kDigestSuffix[] = u".sha256";
constexpr std::size_t kDigestHexChars = 64;
constexpr std::uint32_t kDigestFileBytes = 4096;

// A header of the response read as a whole decimal number; nullopt when there is none, or it is no number.
std::optional<std::uint64_t> HeaderNumber(Http& http, InternetHandle request, std::uint32_t query) {
  const std::optional<std::u16string> text = http.HeaderText(request, query);
  return text ? DecimalNumber(std::u16string_view(*text)) : std::nullopt;
}

// One attempt's transfer: the body goes to NAME.part, from its start or, when bytes of it are here from an
// earlier attempt and the server answers the range, after them. Only a whole body takes the package's name.
struct Transfer {
  DownloadContext& run;
  const PackageDownload& download;
  std::vector<char>& buffer;
  std::uint64_t partBytes = 0;      // of the body, in NAME.part
  std::uint32_t serverPauseMs = 0;  // asked for by the last response
  std::uint32_t sendError = 0;      // of this attempt's send, when it failed
  std::u16string headers;           // of this attempt's request
  // Set when a transfer made ahead of its turn is to end: it does at the next piece.
  const std::atomic<bool>* stop = nullptr;

  // One attempt: request, local file, response, body; the request is closed when it ends. nullopt when no
  // request can be opened (the failure is reported).
  std::optional<Fetched> Attempt(InternetHandle connection, const std::u16string& packagePath,
                                 const std::string& objectPath);

 private:
  Fetched Fetch(InternetHandle request);
  Fetched Receive(InternetHandle request, std::uint32_t status, FileHandle file, bool resumed);
};

std::optional<Fetched> Transfer::Attempt(InternetHandle connection, const std::u16string& packagePath,
                                         const std::string& objectPath) {
  Machine& machine = run.machine;
  const UniqueInternet request(machine.http,
                               machine.http.OpenRequest(connection, kVerb, packagePath, kRequestFlags));
  if (!request.IsOpen()) {
    const std::uint32_t error = machine.http.LastError();
    ReportConnectFailure(run, kUrlWhat, objectPath);
    ReportNetworkError(run, error);
    return std::nullopt;
  }
  ApplyAutomaticProxy(run, request.get(), packagePath);
  headers = kAcceptHeaders;
  if (partBytes > 0) {
    headers = kRangeHeaders +
              std::u16string(machine.runtime.Utf8ToWide(std::to_string(partBytes)).value_or(u"0")) +
              kRangeHeadersEnd;
  }
  sendError = 0;
  if (!machine.http.SendRequest(request.get(), headers)) {
    sendError = machine.http.LastError();
    if (download.reportFailedSend) {
      ReportConnectFailure(run, kServerWhat, run.downloadServerName);
      ReportNetworkError(run, sendError);
    }
  }
  return Fetch(request.get());
}

Fetched Transfer::Fetch(InternetHandle request) {
  Machine& machine = run.machine;
  const std::string localPath = JoinPath(download.localDirectory, download.fileName);
  const std::string partPath = PackagePartPath(download);
  serverPauseMs = 0;
  if (!ReceiveAnsweringProxy(run, request, headers, &download.tag)) {
    // After a failed send, the send's error says what happened; the receive only finds nothing sent.
    const std::uint32_t error = sendError != 0 ? sendError : machine.http.LastError();
    ReportConnectFailure(run, kServerWhat, run.downloadServerName);
    ReportNetworkError(run, error);
  }
  const std::uint32_t status = machine.http.StatusCode(request).value_or(0);
  const bool resumed = partBytes > 0 && status == kStatusPartial;
  Fetched fetched = Fetched::missing;
  if (status == kStatusOk || resumed) {
    if (!resumed) {
      partBytes = 0;
    }
    // A file that cannot be created or written is not reported: the processing that follows fails. No one
    // else may write or delete it while it is written.
    const UniqueFile part(
        machine.files,
        machine.files.Create(partPath, Files::kGenericRead | Files::kGenericWrite, Files::kShareRead,
                             resumed ? Files::kOpenAlways : Files::kCreateAlways, Files::kAttributeNormal));
    if (resumed && part.IsOpen()) {
      machine.files.SeekToEnd(part.get());
    }
    fetched = Receive(request, status, part.get(), resumed);
  } else if (status != kStatusNotFound) {
    // Any other answer is read for an error page and kept nowhere; the part stays for a later range.
    fetched = Receive(request, status, FileHandle::invalid, false);
  }
  if (fetched == Fetched::whole) {
    if (machine.files.Replace(partPath, localPath)) {
      partBytes = 0;
      return fetched;
    }
    // A whole part that cannot take the package's name is fetched again from the start.
    fetched = Fetched::broken;
    partBytes = 0;
  }
  if (fetched == Fetched::missing || partBytes == 0) {
    machine.files.Remove(partPath);
    partBytes = 0;
  }
  // The package's own file is left empty: what arrived is no package (an error page, or a part kept for the
  // next attempt to go on from).
  const UniqueFile emptied(machine.files,
                           machine.files.Create(localPath, Files::kGenericWrite, Files::kShareRead,
                                                Files::kCreateAlways, Files::kAttributeNormal));
  return fetched;
}

Fetched Transfer::Receive(InternetHandle request, std::uint32_t status, FileHandle file, bool resumed) {
  Machine& machine = run.machine;
  const bool accepted = status == kStatusOk || resumed;
  const std::optional<std::uint64_t> length = HeaderNumber(machine.http, request, Http::kQueryContentLength);
  MissingPageScanner scanner;
  std::uint64_t received = 0;
  // WinHTTP hands out what has arrived: a short read is no end, only 0 bytes or a failed read is.
  for (;;) {
    const std::optional<std::uint32_t> read =
        machine.http.ReadData(request, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (!read) {
      // A body that breaks off is kept for the next attempt, which asks for the rest.
      const std::uint32_t error = machine.http.LastError();
      if (accepted) {
        WriteLog(run, download.tag,
                 kBrokenOff + download.fileName + kBrokenAfter + std::to_string(partBytes) + kBytes);
        ReportNetworkError(run, error);
      }
      return Fetched::broken;
    }
    if (*read == 0) {
      break;
    }
    if (stop != nullptr && stop->load()) {
      return Fetched::broken;
    }
    const std::string_view bytes(buffer.data(), *read);
    // The leading text of a body that starts the package: an error page says "404" there.
    if (!resumed && scanner.Feed(bytes)) {
      return Fetched::missing;
    }
    if (file != FileHandle::invalid) {
      if (!machine.files.Write(file, bytes)) {
        // A part that could not take its bytes (a full disk) is no place to go on from.
        partBytes = 0;
        return Fetched::broken;
      }
      partBytes += *read;
    }
    received += *read;
  }
  if (!accepted) {
    if (status == kStatusUnavailable || status == kStatusTooMany) {
      const std::uint64_t seconds = HeaderNumber(machine.http, request, Http::kQueryRetryAfter).value_or(0);
      serverPauseMs = static_cast<std::uint32_t>(std::min<std::uint64_t>(
          std::min<std::uint64_t>(seconds, kLongestServerPauseMs) * 1000, kLongestServerPauseMs));
    } else if (status != 0) {
      // A server that turns the range down (416 for a part that already holds every byte, say) gets the
      // whole package asked for again.
      partBytes = 0;
    }
    if (status != 0) {
      WriteLog(run, download.tag, kBrokenOff + download.fileName + kRefusedStatus + std::to_string(status));
    }
    return Fetched::broken;
  }
  return length && received != *length ? Fetched::broken : Fetched::whole;
}

// A GET of the object, sent through the proxy its URL takes and answered; closed when it cannot be opened,
// sent or answered.
UniqueInternet SentRequest(DownloadContext& run, InternetHandle connection, const std::u16string& objectPath,
                           const std::u16string& headers) {
  Http& http = run.machine.http;
  UniqueInternet request(http, http.OpenRequest(connection, kVerb, objectPath, kRequestFlags));
  if (request.IsOpen()) {
    ApplyAutomaticProxy(run, request.get(), objectPath);
  }
  if (request.IsOpen() && (!http.SendRequest(request.get(), headers) ||
                           !ReceiveAnsweringProxy(run, request.get(), headers, nullptr))) {
    request.Close();
  }
  return request;
}

// The digest the server publishes for the package; nullopt when it publishes none (no such file, or a body
// that is no digest, such as an error page).
std::optional<Sha256Hash::Digest> FetchPublishedDigest(DownloadContext& run, InternetHandle connection,
                                                       const std::u16string& packagePath) {
  Http& http = run.machine.http;
  const UniqueInternet request = SentRequest(run, connection, packagePath + kDigestSuffix, kAcceptHeaders);
  if (!request.IsOpen() || http.StatusCode(request.get()) != kStatusOk) {
    return std::nullopt;
  }
  std::string text;
  std::array<char, kDigestFileBytes> buffer{};
  while (text.size() < kDigestFileBytes) {
    const std::optional<std::uint32_t> read = http.ReadData(request.get(), buffer.data(), kDigestFileBytes);
    if (!read || *read == 0) {
      break;
    }
    text.append(buffer.data(), *read);
  }
  if (text.size() < kDigestHexChars ||
      (text.size() > kDigestHexChars &&
       std::isspace(static_cast<unsigned char>(text[kDigestHexChars])) == 0)) {
    return std::nullopt;
  }
  return DigestOfText(text);
}

// The first bytes of a cabinet, which hold its directory (a range request), into the open file.
bool FetchDirectory(DownloadContext& run, InternetHandle connection, const std::u16string& packagePath,
                    FileHandle file) {
  Machine& machine = run.machine;
  Http& http = machine.http;
  const UniqueInternet request = SentRequest(run, connection, packagePath, kDirectoryRangeHeaders);
  if (!request.IsOpen()) {
    return false;
  }
  const std::optional<std::uint32_t> status = http.StatusCode(request.get());
  if (status != kStatusOk && status != kStatusPartial) {
    return false;
  }
  std::vector<char> buffer(kDownloadReadSize);
  for (std::uint32_t kept = 0; kept < kDirectoryBytes;) {
    const std::optional<std::uint32_t> read =
        http.ReadData(request.get(), buffer.data(),
                      std::min(static_cast<std::uint32_t>(kDownloadReadSize), kDirectoryBytes - kept));
    if (!read || *read == 0) {
      break;
    }
    if (!machine.files.Write(file, std::string_view(buffer.data(), *read))) {
      return false;
    }
    kept += *read;
  }
  return true;
}

// What a run that only plans fetches of a package: the directory at a cabinet's start, which names the
// files its extraction writes; nothing of any other package. The package is left under its name as a
// transfer leaves it; false when the cabinet's start cannot be had.
bool FetchForPlan(DownloadContext& run, InternetHandle connection, const std::u16string& packagePath,
                  const std::string& partPath, const std::string& localPath) {
  Machine& machine = run.machine;
  {
    // As a transfer writes it: into the part, which then takes the package's name.
    const UniqueFile part(
        machine.files,
        machine.files.Create(partPath, Files::kGenericRead | Files::kGenericWrite, Files::kShareRead,
                             Files::kCreateAlways, Files::kAttributeNormal));
    if (!part.IsOpen() || (IsCabinetPackage(localPath.substr(localPath.find_last_of('\\') + 1)) &&
                           !FetchDirectory(run, connection, packagePath, part.get()))) {
      machine.files.Remove(partPath);
      return false;
    }
  }
  return machine.files.Replace(partPath, localPath);
}

// The SHA-256 of a file, read through the buffer; nullopt when it cannot be read or hashed.
std::optional<Sha256Hash::Digest> FileDigest(DownloadContext& run, const std::string& path,
                                             std::vector<char>& buffer) {
  const std::unique_ptr<Sha256Hash> hash = run.machine.crypto.CreateSha256();
  if (!hash || !ReadFilePieces(run.machine.files, path, buffer, [&hash](std::string_view piece) {
        return hash->Add(piece.data(), static_cast<std::uint32_t>(piece.size()));
      })) {
    return std::nullopt;
  }
  return hash->Finish();
}

// Waits, a second at a time and ten minutes at the most, while another process holds the package (a
// sharing violation: an installer that an earlier, cut-off run started, running on). False when it is still
// held then: the line is logged and the component failed.
bool WaitUntilLetGo(DownloadContext& run, const PackageDownload& download) {
  Files& files = run.machine.files;
  const std::string path = JoinPath(download.localDirectory, download.fileName);
  for (std::uint32_t waitedMs = 0;; waitedMs += kHeldPauseMs) {
    if (!PackageHeldByAnother(files, path)) {
      return true;
    }
    if (waitedMs >= kLongestHeldWaitMs) {
      WriteLog(run, download.tag, kStillHeld + download.fileName + kStillHeldEnd);
      MarkComponentFailed(run);
      return false;
    }
    if (waitedMs == 0) {
      run.reporter.ShowStatus(kWaitingFor + download.fileName + kStillRunning);
    }
    run.machine.runtime.Pause(kHeldPauseMs);
  }
}

}  // namespace

// The check of a package that arrived whole, held open from then on. One the check does not pass goes: a
// broken one is logged (the attempt failed), a refused one was logged by the check (the component fails).
PackageCheck CheckWholePackage(DownloadContext& run, const PackageDownload& download,
                               const std::string& localPath,
                               const std::optional<Sha256Hash::Digest>& published, std::vector<char>& buffer,
                               UniqueFile& held) {
  const PackageCheck check = CheckPackage(run, download, localPath, published, buffer, held);
  if (check == PackageCheck::passed) {
    return check;
  }
  if (check != PackageCheck::refused) {
    WriteLog(run, download.tag,
             kBrokenOff + download.fileName +
                 (check == PackageCheck::notAsListed ? kDigestMismatch : kNotReadBack));
  }
  held.Close();
  run.machine.files.Remove(localPath);
  return check;
}

// RecordPackageAhead at the package's turn: false, the line logged and the component failed, when the record
// could not say so.
bool RecordAhead(DownloadContext& run, const PackageDownload& download) {
  if (const ActionResult recordedAhead = RecordPackageAhead(run.record, download); !recordedAhead) {
    WriteLog(run, download.tag, recordedAhead.line);
    MarkComponentFailed(run);
    return false;
  }
  return true;
}

bool DownloadPackage(DownloadContext& run, const PackageDownload& download, bool& processed) {
  // A package fetched ahead is the run's already, in the record and on its way.
  const FetchedAhead* ahead = run.fetchAhead != nullptr ? run.fetchAhead->Take(download.fileName) : nullptr;
  // An installer that a cut-off run started may still be running from the package: it is waited for.
  if (ahead == nullptr && !WaitUntilLetGo(run, download)) {
    processed = false;
    return true;
  }
  if (!run.packageSource.empty()) {
    return CopySourcePackage(run, download, processed);
  }
  Machine& machine = run.machine;
  processed = false;
  const std::string& host = run.downloadHost;
  const std::string objectPath = BeginPackageLines(run, download, host);
  std::vector<char> buffer(kDownloadReadSize);

  const std::u16string wideHost = machine.runtime.Utf8ToWide(host).value_or(u"");
  const std::u16string widePath = machine.runtime.Utf8ToWide(objectPath).value_or(u"");
  const UniqueInternet connection(machine.http,
                                  machine.http.Connect(run.httpSession, wideHost, Http::kHttpsPort));
  // A part left by an earlier run may belong to another version of the package: this call starts afresh.
  if (ahead == nullptr) {
    machine.files.Remove(PackagePartPath(download));
  }
  const bool transferMade = ahead != nullptr && ahead->transferMade;
  const std::optional<Sha256Hash::Digest> published =
      transferMade ? ahead->published : FetchPublishedDigest(run, connection.get(), widePath);
  const std::string localPath = JoinPath(download.localDirectory, download.fileName);
  Transfer transfer{run, download, buffer, 0, 0, 0, {}, nullptr};
  std::uint32_t pauseMs = kFirstPauseMs;
  // The package as it is now on disk, in the record once for each content it has had.
  std::optional<Files::Stamp> recorded;
  const auto recordPackage = [&]() {
    const std::optional<Files::Stamp> stamp = machine.files.StampOf(localPath);
    if (stamp && stamp != recorded) {
      PackageFetched(run.record, localPath);
      recorded = stamp;
    }
  };
  if (transferMade) {
    WriteHeldLines(run, ahead->lines);
    transfer.partBytes = ahead->partBytes;
    transfer.serverPauseMs = ahead->serverPauseMs;
  } else if (ahead == nullptr && !RecordAhead(run, download)) {
    return true;
  }
  if (run.planOnly) {
    // The run that plans processes what it fetched (the cabinet's directory names the files it writes;
    // an installer that is not started ends with 0), as the run would process the whole package.
    const bool fetched = FetchForPlan(run, connection.get(), widePath, PackagePartPath(download), localPath);
    if (fetched && run.fetchAhead != nullptr) {
      run.fetchAhead->Start();
    }
    processed = fetched && download.processing.run().ok();
    recordPackage();
    EndPackageLines(run, download, processed, host);
    return true;
  }
  // The first attempt's transfer may have been made ahead.
  bool madeAhead = transferMade;
  for (int attempt = 0; attempt < kDownloadAttempts;) {
    const std::optional<Fetched> attempted =
        madeAhead ? ahead->fetched : transfer.Attempt(connection.get(), widePath, objectPath);
    madeAhead = false;
    if (!attempted) {
      return false;
    }
    const Fetched fetched = *attempted;
    if (fetched == Fetched::missing) {
      ReportMissingPackage(run, download);
      // The empty file the answer left is the install's too.
      recordPackage();
      return true;
    }
    // A whole package is held open, sharing read only, from its check until it has run: its digest is
    // taken of the file that runs, and its publisher checked. One that is not what the server published
    // goes, and the attempt failed; one whose publisher is refused is never run, and the component fails.
    UniqueFile held(machine.files);
    if (fetched == Fetched::whole) {
      const PackageCheck check = CheckWholePackage(run, download, localPath, published, buffer, held);
      if (check == PackageCheck::refused) {
        return true;
      }
      if (check != PackageCheck::passed) {
        ++attempt;
        continue;
      }
    }
    // The processing runs on what this attempt left, as it always has; only a package that arrived whole
    // counts, so a processing that does nothing cannot pass a broken transfer off as a download. A package
    // the setup would start or extract runs only whole and checked. The package is in the record before it
    // runs: an installer goes on to its end when the setup is killed, and a later run finds its work done
    // and does not fetch the package again.
    recordPackage();
    // While it runs, the packages after it come in beside the run.
    if (run.fetchAhead != nullptr) {
      run.fetchAhead->Start();
    }
    const bool ran = (fetched == Fetched::whole || download.laidOut || !RunsPackage(download.fileName)) &&
                     download.processing.run().ok();
    if (ran && fetched == Fetched::whole) {
      processed = true;
      if (download.holdUntilRun) {
        run.heldPackages.push_back(std::move(held));
      }
      break;
    }
    ++attempt;
    // A transfer that did not arrive whole is tried again after a pause, longer each time; a processing
    // that failed on a whole package is tried again at once.
    if (fetched == Fetched::broken && attempt < kDownloadAttempts) {
      machine.runtime.Pause(transfer.serverPauseMs > 0 ? transfer.serverPauseMs : pauseMs);
      pauseMs *= 2;
    }
  }
  machine.files.Remove(PackagePartPath(download));
  // What the attempts left under the package's name belongs to the install, whole or not.
  recordPackage();
  EndPackageLines(run, download, processed, host);
  return true;
}

void FetchFirstAttempt(DownloadContext& ahead, const PackageDownload& download, const std::atomic<bool>& stop,
                       FetchedAhead& result) {
  ahead.heldLines = &result.lines;
  Machine& machine = ahead.machine;
  const std::string objectPath = kObjectFolder + download.fileName;
  const std::u16string wideHost = machine.runtime.Utf8ToWide(ahead.downloadHost).value_or(u"");
  const std::u16string widePath = machine.runtime.Utf8ToWide(objectPath).value_or(u"");
  const UniqueInternet connection(machine.http,
                                  machine.http.Connect(ahead.httpSession, wideHost, Http::kHttpsPort));
  result.published = FetchPublishedDigest(ahead, connection.get(), widePath);
  std::vector<char> buffer(kDownloadReadSize);
  Transfer transfer{ahead, download, buffer, 0, 0, 0, {}, &stop};
  result.fetched = transfer.Attempt(connection.get(), widePath, objectPath);
  result.transferMade = true;
  result.partBytes = transfer.partBytes;
  result.serverPauseMs = transfer.serverPauseMs;
  ahead.heldLines = nullptr;
}

std::string PackagePartPath(const PackageDownload& download) {
  return JoinPath(download.localDirectory, download.fileName) + kPartSuffix;
}

ActionResult RecordPackageAhead(InstallRecord& record, const PackageDownload& download) {
  if (ActionResult package = BeforeFetching(record, JoinPath(download.localDirectory, download.fileName));
      !package) {
    return package;
  }
  return BeforeFetchingPart(record, PackagePartPath(download));
}

bool PackageHeldByAnother(Files& files, const std::string& path) {
  if (!files.StampOf(path)) {
    return false;
  }
  const UniqueFile probe(files, files.Create(path, Files::kGenericWrite,
                                             Files::kShareRead | Files::kShareWrite | Files::kShareDelete,
                                             Files::kOpenExisting, Files::kAttributeNormal));
  return !probe.IsOpen() && files.LastCreateError() == Files::kErrorSharingViolation;
}

std::optional<Sha256Hash::Digest> DigestOfText(std::string_view text) {
  if (text.size() < 2 * std::tuple_size_v<Sha256Hash::Digest>) {
    return std::nullopt;
  }
  Sha256Hash::Digest digest{};
  for (std::size_t i = 0; i < digest.size(); ++i) {
    const int high = HexDigitValue(text[2 * i]);
    const int low = HexDigitValue(text[2 * i + 1]);
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    digest.at(i) = static_cast<std::uint8_t>((high << 4) | low);
  }
  return digest;
}

std::string BeginPackageLines(DownloadContext& run, const PackageDownload& download,
                              const std::string& source) {
  std::string objectPath = kObjectFolder + download.fileName;
  WriteLog(run, download.tag, kGetting + download.fileName + kFromServer);
  WriteLog(run, download.tag, download.downloading, source, objectPath);
  run.downloadServerName = CutUtf8(source, kDownloadServerNameWidth - 1);
  return objectPath;
}

void ReportMissingPackage(DownloadContext& run, const PackageDownload& download) {
  WriteLog(run, download.tag, kCouldNotFind + download.fileName + kOnServer);
  MarkComponentFailed(run);
}

void EndPackageLines(DownloadContext& run, const PackageDownload& download, bool processed,
                     const std::string& source) {
  if (processed) {
    WriteLog(run, download.tag, download.downloaded, source, kObjectFolder + download.fileName);
  } else {
    MarkComponentFailed(run);
    WriteLog(
        run, download.tag,
        kNotProcessed + std::string(download.processing.verb) + " " + download.fileName + kAfterAttempts);
  }
}

std::optional<Sha256Hash::Digest> PublishedPackageDigest(DownloadContext& run, const std::string& fileName) {
  // A layout publishes its digests in its list.
  if (!run.packageSource.empty()) {
    return ListedDigest(run, JoinPath(JoinPath(run.packageSource, kLayoutPackageFolder), kLayoutDigestList),
                        fileName);
  }
  Machine& machine = run.machine;
  const std::u16string wideHost = machine.runtime.Utf8ToWide(run.downloadHost).value_or(u"");
  const std::u16string widePath = machine.runtime.Utf8ToWide(kObjectFolder + fileName).value_or(u"");
  const UniqueInternet connection(machine.http,
                                  machine.http.Connect(run.httpSession, wideHost, Http::kHttpsPort));
  if (!connection.IsOpen()) {
    return std::nullopt;
  }
  return FetchPublishedDigest(run, connection.get(), widePath);
}

std::optional<Sha256Hash::Digest> FileSha256(DownloadContext& run, const std::string& path) {
  std::vector<char> buffer(kDownloadReadSize);
  return FileDigest(run, path, buffer);
}

bool MissingPageScanner::Feed(std::string_view chunk) {
  if (ended_ || found_) {
    return found_;
  }
  const std::size_t room = kDownloadChunkSize - scanned_;
  std::string_view text = chunk.substr(0, std::min(room, chunk.size()));
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) {
    text = text.substr(0, nul);
    ended_ = true;
  }
  scanned_ += text.size();
  if (scanned_ >= kDownloadChunkSize) {
    ended_ = true;
  }
  std::string window = tail_;
  window += text;
  found_ = window.find(kMissingText) != std::string::npos;
  tail_ = window.size() > 2 ? window.substr(window.size() - 2) : window;
  return found_;
}
