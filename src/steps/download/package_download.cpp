#include "steps/download/package_download.h"

#include <vector>

#include "core/path_text.h"
#include "core/setup_state.h"
#include "steps/download/http_session.h"

namespace {

constexpr char kMissingText[] = "404";
constexpr char kObjectFolder[] = "downloads/";
constexpr char16_t kVerb[] = u"GET";
constexpr char16_t kAcceptHeaders[] = u"Accept: */*\r\n\r\n";
constexpr std::uint32_t kRequestFlags = Http::kFlagSecure | Http::kFlagRefresh;
constexpr std::uint32_t kStatusNotFound = 404;

constexpr char kGetting[] = "Getting ";
constexpr char kFromServer[] = " from server";
constexpr char kCouldNotFind[] = "Could not find ";
constexpr char kOnServer[] = " on server. Please contact you administrator";
constexpr char kUrlWhat[] = "Url";
constexpr char kServerWhat[] = "Server";
constexpr char kNotProcessed[] = "Could not ";
constexpr char kAfterAttempts[] = " after 5 attempts";

enum class Fetched { saved, missing };

Fetched FetchBody(SetupState& state, const PackageDownload& download, InternetHandle request,
                  std::vector<char>& chunk) {
  Machine& machine = state.machine;
  const std::string localPath = JoinPath(download.localDirectory, download.fileName);
  Fetched fetched = Fetched::saved;
  {
    // A file that cannot be created or written is not reported: the processing that follows fails.
    const UniqueFile file(machine.files,
                          machine.files.Create(localPath, Files::kGenericRead | Files::kGenericWrite,
                                               Files::kShareRead | Files::kShareWrite, Files::kCreateAlways,
                                               Files::kAttributeNormal));
    if (!machine.http.ReceiveResponse(request)) {
      ReportConnectFailure(state, kServerWhat, state.downloadServerName);
    }
    if (machine.http.StatusCode(request) == kStatusNotFound) {
      fetched = Fetched::missing;
    } else {
      MissingPageScanner scanner;
      // WinHTTP hands out what has arrived: a short read is no end, only 0 bytes or a failed read is.
      while (const std::optional<std::uint32_t> read =
                 machine.http.ReadData(request, chunk.data(), static_cast<std::uint32_t>(chunk.size()))) {
        if (*read == 0) {
          break;
        }
        const std::string_view bytes(chunk.data(), *read);
        if (scanner.Feed(bytes)) {
          fetched = Fetched::missing;
          break;
        }
        if (file.IsOpen()) {
          machine.files.Write(file.get(), bytes);
        }
      }
    }
  }
  if (fetched == Fetched::missing) {
    // What arrived of the error page before its "404" is no package: the local file is left empty.
    const UniqueFile emptied(machine.files,
                             machine.files.Create(localPath, Files::kGenericWrite, Files::kShareRead,
                                                  Files::kCreateAlways, Files::kAttributeNormal));
  }
  return fetched;
}

}  // namespace

bool DownloadPackage(SetupState& state, const PackageDownload& download, bool& processed) {
  Machine& machine = state.machine;
  processed = false;
  WriteLog(state, download.tag, kGetting + download.fileName + kFromServer);
  std::vector<char> chunk(kDownloadReadSize);
  const std::string objectPath = kObjectFolder + download.fileName;
  const std::string& host = state.downloadHost;
  WriteLog(state, download.tag, download.downloading, host, objectPath);
  state.downloadServerName = host.substr(0, kDownloadServerNameWidth - 1);

  const std::u16string wideHost = machine.runtime.AnsiToWide(host).value_or(u"");
  const std::u16string widePath = machine.runtime.AnsiToWide(objectPath).value_or(u"");
  const UniqueInternet connection(machine.http,
                                  machine.http.Connect(state.httpSession, wideHost, Http::kHttpsPort));
  bool missing = false;
  for (int attempt = 0; attempt < kDownloadAttempts;) {
    {
      // One attempt: request, local file, response, body. The request is closed when the attempt ends.
      const UniqueInternet request(
          machine.http, machine.http.OpenRequest(connection.get(), kVerb, widePath, kRequestFlags));
      if (!request.IsOpen()) {
        ReportConnectFailure(state, kUrlWhat, objectPath);
        return false;
      }
      if (!machine.http.SendRequest(request.get(), kAcceptHeaders) && download.reportFailedSend) {
        ReportConnectFailure(state, kServerWhat, state.downloadServerName);
      }
      missing = FetchBody(state, download, request.get(), chunk) == Fetched::missing;
    }
    if (missing) {
      WriteLog(state, download.tag, kCouldNotFind + download.fileName + kOnServer);
      state.componentFailed = true;
      return true;
    }
    if (download.processing.run()) {
      processed = true;
      break;
    }
    ++attempt;
  }
  if (processed) {
    WriteLog(state, download.tag, download.downloaded, host, objectPath);
  } else {
    state.componentFailed = true;
    WriteLog(
        state, download.tag,
        kNotProcessed + std::string(download.processing.verb) + " " + download.fileName + kAfterAttempts);
  }
  return true;
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
