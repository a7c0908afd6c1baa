#include "packages/package_download.h"

#include <functional>
#include <vector>

#include "app/path_text.h"
#include "app/setup_context.h"
#include "app/setup_log.h"
#include "packages/http_session.h"
#include "packages/installers.h"

namespace {

constexpr char kMissingText[] = "404";
constexpr char kObjectFolder[] = "downloads/";
constexpr char16_t kVerb[] = u"GET";
constexpr char16_t kAcceptHeaders[] = u"Accept: */*\r\n\r\n";
constexpr std::uint32_t kRequestFlags = Http::kFlagSecure | Http::kFlagRefresh;
constexpr std::uint32_t kStatusNotFound = 404;
constexpr char kCabinetMark[] = "cab";

constexpr char kGetting[] = "Getting ";
constexpr char kFromServer[] = " from server";
constexpr char kClientDownloading[] = "Downloading";
constexpr char kServerDownloading[] = "Downloading ";
constexpr char kClientDownloaded[] = "Downloaded";
constexpr char kServerDownloaded[] = "Downloaded ";
constexpr char kCouldNotFind[] = "Could not find ";
constexpr char kOnServer[] = " on server. Please contact you administrator";
constexpr char kUrlWhat[] = "Url";
constexpr char kServerWhat[] = "Server";
constexpr char kExtracting[] = "Extracting";
constexpr char kNotProcessed[] = "Could not ";
constexpr char kAfterAttempts[] = " after 5 attempts";

// What is done with a package once it is saved, and the verb of the line that reports it failing.
struct Processing {
  const char* verb;
  std::function<bool()> run;
};

struct PackageDownload {
  LogFlags tag;
  std::string fileName;
  std::string localDirectory;
  const char* downloading;
  const char* downloaded;
  bool reportFailedSend;
  Processing processing;
};

enum class Fetched { saved, missing };

// One attempt: request, local file, response, body. The request handle is closed when the attempt ends.
class Attempt {
 public:
  Attempt(Http& http, InternetHandle request) : http_(http), request_(request) {}
  ~Attempt() { http_.Close(request_); }
  Attempt(const Attempt&) = delete;
  Attempt& operator=(const Attempt&) = delete;

 private:
  Http& http_;
  InternetHandle request_;
};

Fetched FetchBody(SetupContext& context, const PackageDownload& download, InternetHandle request,
                  std::vector<char>& chunk) {
  Machine& machine = context.machine;
  const std::string localPath = JoinPath(download.localDirectory, download.fileName);
  // A file that cannot be created or written is not reported: the processing that follows fails.
  const FileHandle file = machine.files.Create(localPath, Files::kGenericRead | Files::kGenericWrite,
                                               Files::kShareRead | Files::kShareWrite, Files::kCreateAlways,
                                               Files::kAttributeNormal);
  if (!machine.http.ReceiveResponse(request)) {
    ReportConnectFailure(context, kServerWhat, context.downloadServerName);
  }
  Fetched fetched = Fetched::saved;
  if (machine.http.StatusCode(request) == kStatusNotFound) {
    fetched = Fetched::missing;
  } else {
    MissingPageScanner scanner;
    // WinHTTP hands out what has arrived: a short read is no end, only 0 bytes or a failed read is.
    while (const std::optional<std::uint32_t> read =
               machine.http.ReadData(request, chunk.data(), static_cast<std::uint32_t>(kDownloadChunkSize))) {
      if (*read == 0) {
        break;
      }
      const std::string_view bytes(chunk.data(), *read);
      if (scanner.Feed(bytes)) {
        fetched = Fetched::missing;
        break;
      }
      if (file != FileHandle::invalid) {
        machine.files.Write(file, bytes);
      }
    }
  }
  if (file != FileHandle::invalid) {
    machine.files.Close(file);
  }
  if (fetched == Fetched::missing) {
    // What arrived of the error page before its "404" is no package: the local file is left empty.
    const FileHandle emptied = machine.files.Create(localPath, Files::kGenericWrite, Files::kShareRead,
                                                    Files::kCreateAlways, Files::kAttributeNormal);
    if (emptied != FileHandle::invalid) {
      machine.files.Close(emptied);
    }
  }
  return fetched;
}

// The shared download: false only when the request cannot be opened.
bool DownloadPackage(SetupContext& context, const PackageDownload& download, bool& processed) {
  Machine& machine = context.machine;
  processed = false;
  WriteLog(context, download.tag, kGetting + download.fileName + kFromServer);
  std::vector<char> chunk(kDownloadChunkSize + 1);
  const std::string objectPath = kObjectFolder + download.fileName;
  const std::string& host = context.downloadHost;
  WriteLog(context, download.tag, download.downloading, host, objectPath);
  context.downloadServerName = host.substr(0, kDownloadServerNameWidth - 1);

  const std::u16string wideHost = machine.runtime.AnsiToWide(host).value_or(u"");
  const std::u16string widePath = machine.runtime.AnsiToWide(objectPath).value_or(u"");
  const InternetHandle connection = machine.http.Connect(context.httpSession, wideHost, Http::kHttpsPort);
  bool missing = false;
  for (int attempt = 0; attempt < kDownloadAttempts;) {
    const InternetHandle request = machine.http.OpenRequest(connection, kVerb, widePath, kRequestFlags);
    if (request == InternetHandle::none) {
      ReportConnectFailure(context, kUrlWhat, objectPath);
      machine.http.Close(connection);
      return false;
    }
    {
      const Attempt open(machine.http, request);
      if (!machine.http.SendRequest(request, kAcceptHeaders) && download.reportFailedSend) {
        ReportConnectFailure(context, kServerWhat, context.downloadServerName);
      }
      missing = FetchBody(context, download, request, chunk) == Fetched::missing;
    }
    if (missing) {
      WriteLog(context, download.tag, kCouldNotFind + download.fileName + kOnServer);
      break;
    }
    if (download.processing.run()) {
      processed = true;
      break;
    }
    ++attempt;
  }
  machine.http.Close(connection);
  if (missing) {
    return true;
  }
  if (processed) {
    WriteLog(context, download.tag, download.downloaded, host, objectPath);
  } else {
    WriteLog(
        context, download.tag,
        kNotProcessed + std::string(download.processing.verb) + " " + download.fileName + kAfterAttempts);
  }
  return true;
}

}  // namespace

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

bool ClientSetup::DownloadClientPackage(const std::string& fileName, PackageBits bits) {
  SetupContext& context = owner;
  Processing processing{"process", [] { return true; }};
  if ((bits & (kPackageRuntime2015 | kPackageRuntime2013)) != 0) {
    processing = {"install", [this] { return RunClientRuntimeInstaller(*this); }};
  } else if (fileName.find(kCabinetMark) != std::string::npos) {
    processing = {"extract", [this, &context, &fileName] {
                    return context.serverSetup->CopyCabinet(fileName, WithTrailingBackslash(updateDirectory),
                                                            WithTrailingBackslash(context.clientDirectory));
                  }};
  }
  bool processed = false;
  return DownloadPackage(context,
                         {kLogClient, fileName, updateDirectory, kClientDownloading, kClientDownloaded, false,
                          std::move(processing)},
                         processed);
}

bool ServerSetup::DownloadServerPackage(const std::string& fileName, PackagePlace place, PackageBits bits) {
  SetupContext& context = owner;
  Processing processing{"process", [] { return false; }};
  if ((bits & (kPackageSqlExpress | kPackageRuntime2013 | kPackageInformationServer)) != 0) {
    processing = {"install", [this] { return RunServerInstaller(); }};
  } else if (place == PackagePlace::updateFolder) {
    processing = {"extract", [this, &context, &fileName] {
                    WriteLog(context, kLogServer, kExtracting, fileName);
                    return ExtractCabinet(fileName, updateDirectory, updateDirectory);
                  }};
  } else if (fileName.find(kCabinetMark) != std::string::npos) {
    processing = {"extract",
                  [this, &fileName] { return ExtractCabinet(fileName, cabDirectory, updateDirectory); }};
  }
  const std::string& localDirectory = place == PackagePlace::updateFolder ? updateDirectory : cabDirectory;
  bool processed = false;
  if (!DownloadPackage(context,
                       {kLogServer, fileName, localDirectory, kServerDownloading, kServerDownloaded, true,
                        std::move(processing)},
                       processed)) {
    return false;
  }
  if (processed) {
    context.downloadStatus->RecordPackage(bits, downloadCount);
  }
  return true;
}
