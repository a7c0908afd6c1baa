#include "steps/download/package_probe.h"

#include "core/leading_number.h"
#include "core/path_text.h"
#include "core/port_guards.h"
#include "product/download_context.h"
#include "steps/download/http_session.h"
#include "steps/download/package_texts.h"
#include "steps/download/source_package.h"

namespace {

constexpr char16_t kHeadVerb[] = u"HEAD";
constexpr std::uint32_t kStatusOk = 200;
constexpr std::uint32_t kStatusNotFound = 404;

PackageProbe ProbeLayout(DownloadContext& run, const std::string& fileName, bool* listed) {
  const std::string folder = JoinPath(run.packageSource, kLayoutPackageFolder);
  PackageProbe probe;
  probe.answered = run.machine.files.FileAttributes(folder).has_value();
  if (!probe.answered) {
    return probe;
  }
  const std::optional<Files::Stamp> stamp = run.machine.files.StampOf(JoinPath(folder, fileName));
  probe.status = stamp ? kStatusOk : kStatusNotFound;
  if (stamp) {
    probe.size = stamp->size;
  }
  if (listed != nullptr) {
    *listed = ListedDigest(run, JoinPath(folder, kLayoutDigestList), fileName).has_value();
  }
  return probe;
}

}  // namespace

PackageProbe ProbePackage(DownloadContext& run, const std::string& fileName, bool* listed) {
  if (!run.packageSource.empty()) {
    return ProbeLayout(run, fileName, listed);
  }
  Machine& machine = run.machine;
  Http& http = machine.http;
  PackageProbe probe;
  const std::u16string host = machine.runtime.Utf8ToWide(run.downloadHost).value_or(u"");
  const std::u16string path = machine.runtime.Utf8ToWide(kObjectFolder + fileName).value_or(u"");
  const UniqueInternet connection(http, http.Connect(run.httpSession, host, Http::kHttpsPort));
  const UniqueInternet request(http, connection.IsOpen()
                                         ? http.OpenRequest(connection.get(), kHeadVerb, path, kRequestFlags)
                                         : InternetHandle::none);
  if (!request.IsOpen()) {
    probe.error = http.LastError();
    return probe;
  }
  ApplyAutomaticProxy(run, request.get(), path);
  if (!http.SendRequest(request.get(), kAcceptHeaders) ||
      !ReceiveAnsweringProxy(run, request.get(), kAcceptHeaders, nullptr)) {
    probe.error = http.LastError();
    return probe;
  }
  probe.answered = true;
  probe.status = http.StatusCode(request.get()).value_or(0);
  if (probe.status == kStatusProxyAuthentication) {
    probe.proxySchemes = http.ProxyAuthSchemes(request.get()).value_or(0);
  }
  if (probe.status == kStatusOk) {
    if (const std::optional<std::u16string> length =
            http.HeaderText(request.get(), Http::kQueryContentLength)) {
      probe.size = DecimalNumber(std::u16string_view(*length));
    }
  }
  return probe;
}
