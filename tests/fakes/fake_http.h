#pragma once

#include <climits>
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/http.h"

// WinHTTP against a scripted download server: object paths with their status and body, answered in pieces
// as a network delivers them; a missing path gets the server's 404 error page. Faults: a server that does not
// answer (the send fails, as for a refused connection or a failed TLS handshake), a receive that fails, and a
// connection reset after some bytes (the read fails). A request with "Range: bytes=N-" gets status 206 and
// the body from N, unless ranges are switched off. Each failure sets its WinHTTP error code.
class FakeHttp final : public Http {
 public:
  static constexpr char kErrorPage[] =
      "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n<html><head>\n<title>404 Not Found</title>\n"
      "</head><body>\n<h1>Not Found</h1>\n</body></html>\n";

  static constexpr char kBusyPage[] = "<h1>Busy</h1>";

  struct Response {
    std::uint32_t status = 200;
    std::string body;
    // The body breaks off with a failed read after this many bytes of the whole body, in the first
    // `resets` responses.
    std::size_t resetAfter = SIZE_MAX;
    int resets = INT_MAX;
    // The first `busy` responses are status 503, with a Retry-After header of `retryAfter` seconds.
    int busy = 0;
    std::optional<std::uint32_t> retryAfter = std::nullopt;
    // The Content-Length the server declares when it is not the body's size (a package beyond 4 GiB).
    std::optional<std::uint64_t> declaredLength = std::nullopt;
  };
  // WinHTTP's codes of the faults.
  static constexpr std::uint32_t kErrorCannotConnect = 12029;
  static constexpr std::uint32_t kErrorTimeout = 12002;
  static constexpr std::uint32_t kErrorConnection = 12030;
  static constexpr std::uint32_t kErrorHandleState = 12019;
  static constexpr std::uint32_t kErrorInvalidUrl = 12005;

  bool DefaultProxy(ProxySettings& settings) override;
  bool UserProxy(ProxySettings& settings) override;
  bool ProxyForUrl(InternetHandle session, const std::u16string& url, const ProxySettings& automatic,
                   ProxySettings& found) override;
  bool SetRequestProxy(InternetHandle request, const std::u16string& proxy,
                       const std::optional<std::u16string>& bypass) override;
  InternetHandle OpenSession(const std::u16string& userAgent, std::uint32_t accessType,
                             const std::optional<std::u16string>& proxy,
                             const std::optional<std::u16string>& bypass) override;
  bool SetTimeoutOption(InternetHandle handle, std::uint32_t option, std::uint32_t milliseconds) override;
  InternetHandle Connect(InternetHandle session, const std::u16string& host, std::uint16_t port) override;
  InternetHandle OpenRequest(InternetHandle connection, const std::u16string& verb,
                             const std::u16string& objectPath, std::uint32_t flags) override;
  bool SendRequest(InternetHandle request, const std::u16string& headers) override;
  bool ReceiveResponse(InternetHandle request) override;
  std::optional<std::uint32_t> StatusCode(InternetHandle request) override;
  std::optional<std::u16string> HeaderText(InternetHandle request, std::uint32_t query) override;
  std::optional<std::uint32_t> ProxyAuthSchemes(InternetHandle request) override;
  bool UseLogonForProxy(InternetHandle request, std::uint32_t scheme) override;
  std::uint32_t LastError() override { return lastError; }
  std::string ErrorText(std::uint32_t code) override;
  std::optional<std::uint32_t> ReadData(InternetHandle request, void* buffer, std::uint32_t size) override;
  bool Close(InternetHandle handle) override;

  // Proxy settings of the system: the machine's (as Windows answers without a `netsh winhttp` proxy: none)
  // and the current user's.
  bool defaultWorks = true;
  ProxySettings defaultProxy;
  bool userWorks = true;
  ProxySettings userProxy;
  int defaultCalls = 0;
  int userCalls = 0;
  // What the automatic configuration (the script, or the one detection finds) gives for each URL; a URL
  // it does not name goes direct. Without any automatic setting the call fails, as WinHTTP's does.
  std::map<std::u16string, ProxySettings> automaticProxies;
  bool automaticFails = false;
  std::vector<std::u16string> proxyLookups;  // the URL of each WinHttpGetProxyForUrl
  // The proxy set on each request (WINHTTP_OPTION_PROXY), by the request's object path.
  std::map<std::u16string, std::pair<std::u16string, std::optional<std::u16string>>> requestProxies;

  // The server, by object path ("downloads/NAME").
  std::map<std::string, Response> files;
  void Serve(const std::string& name, std::string body) {
    files["downloads/" + name] = Response{200, std::move(body)};
  }
  // Set by the test.
  bool sessionFails = false;
  bool serverDown = false;                     // every send fails
  bool receiveFails = false;                   // every receive fails
  std::set<std::string> unopenablePaths;       // OpenRequest fails for these
  std::size_t piece = std::size_t{64} * 1024;  // the most bytes one read delivers
  bool ranges = true;                          // the server answers a range request with 206
  std::uint32_t lastError = 0;
  // A proxy in the way that asks who the setup is (407): the schemes it offers (none: it asks nothing), and
  // whether the logged-on user's Negotiate or NTLM credentials satisfy it.
  std::uint32_t proxyAsks = 0;
  bool proxyTakesLogon = true;
  // The scheme of each answer with the logged-on user's credentials.
  std::vector<std::uint32_t> logonAnswers;

  // Recorded.
  struct SessionCall {
    std::u16string userAgent;
    std::uint32_t accessType;
    std::optional<std::u16string> proxy;
    std::optional<std::u16string> bypass;
  };
  std::vector<SessionCall> sessions;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> timeouts;  // option, milliseconds
  std::vector<std::pair<std::u16string, std::uint16_t>> connects;
  struct RequestCall {
    std::u16string verb;
    std::u16string objectPath;
    std::uint32_t flags;
    std::u16string headers;
  };
  std::vector<RequestCall> requests;
  // The requests of packages, without those of their published digests (NAME.sha256).
  std::vector<RequestCall> PackageRequests() const {
    std::vector<RequestCall> packages;
    for (const RequestCall& request : requests) {
      if (!request.objectPath.ends_with(u".sha256")) {
        packages.push_back(request);
      }
    }
    return packages;
  }
  std::uint32_t largestRead = 0;
  std::size_t OpenHandles() const { return handles_.size(); }

 private:
  enum class Kind { session, connection, request };
  struct Handle {
    Kind kind;
    std::string path;
    bool sent = false;
    bool received = false;
    // The proxy answered 407; the logged-on user's credentials are set for the next send.
    bool proxyRefused = false;
    bool logon = false;
    std::size_t position = 0;  // in the whole body
    std::size_t rangeStart = 0;
    bool resets = false;
    bool busy = false;
    // A HEAD request: the headers of the answer, never a body.
    bool head = false;
  };
  Handle* Find(InternetHandle handle, Kind kind);
  InternetHandle Add(Handle handle);

  std::map<InternetHandle, Handle> handles_;
  std::uintptr_t next_ = 0x1000;
};
