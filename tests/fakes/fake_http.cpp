#include "fake_http.h"

#include <algorithm>
#include <cstring>

namespace {

std::string Narrow(const std::u16string& text) {
  std::string narrow;
  for (const char16_t c : text) {
    narrow += c < 0x80 ? static_cast<char>(c) : '?';
  }
  return narrow;
}

}  // namespace

bool FakeHttp::DefaultProxy(ProxySettings& settings) {
  ++defaultCalls;
  // The machine's configuration has no automatic part.
  settings.proxy = defaultProxy.proxy;
  settings.bypass = defaultProxy.bypass;
  return defaultWorks;
}

bool FakeHttp::UserProxy(ProxySettings& settings) {
  ++userCalls;
  settings = userProxy;
  return userWorks;
}

bool FakeHttp::ProxyForUrl(InternetHandle session, const std::u16string& url, const ProxySettings& automatic,
                           ProxySettings& found) {
  proxyLookups.push_back(url);
  if (Find(session, Kind::session) == nullptr || !automatic.Automatic() || automaticFails) {
    return false;
  }
  const auto proxy = automaticProxies.find(url);
  found = proxy == automaticProxies.end() ? ProxySettings{} : proxy->second;
  return true;
}

bool FakeHttp::SetRequestProxy(InternetHandle request, const std::u16string& proxy,
                               const std::optional<std::u16string>& bypass) {
  Handle* open = Find(request, Kind::request);
  if (open == nullptr || open->sent) {
    return false;  // WinHTTP takes a request's proxy only before it is sent
  }
  requestProxies[std::u16string(open->path.begin(), open->path.end())] = {proxy, bypass};
  return true;
}

FakeHttp::Handle* FakeHttp::Find(InternetHandle handle, Kind kind) {
  const auto found = handles_.find(handle);
  return found == handles_.end() || found->second.kind != kind ? nullptr : &found->second;
}

InternetHandle FakeHttp::Add(Handle handle) {
  const auto key = static_cast<InternetHandle>(next_++);
  handles_.emplace(key, std::move(handle));
  return key;
}

InternetHandle FakeHttp::OpenSession(const std::u16string& userAgent, std::uint32_t accessType,
                                     const std::optional<std::u16string>& proxy,
                                     const std::optional<std::u16string>& bypass) {
  sessions.push_back({userAgent, accessType, proxy, bypass});
  if (sessionFails) {
    return InternetHandle::none;
  }
  return Add({Kind::session, {}});
}

bool FakeHttp::SetTimeoutOption(InternetHandle handle, std::uint32_t option, std::uint32_t milliseconds) {
  timeouts.emplace_back(option, milliseconds);
  return Find(handle, Kind::session) != nullptr;
}

InternetHandle FakeHttp::Connect(InternetHandle session, const std::u16string& host, std::uint16_t port) {
  connects.emplace_back(host, port);
  // WinHTTP only records the server here; nothing goes over the network before the send.
  if (Find(session, Kind::session) == nullptr) {
    return InternetHandle::none;
  }
  return Add({Kind::connection, {}});
}

InternetHandle FakeHttp::OpenRequest(InternetHandle connection, const std::u16string& verb,
                                     const std::u16string& objectPath, std::uint32_t flags) {
  requests.push_back({verb, objectPath, flags, {}});
  const std::string path = Narrow(objectPath);
  if (Find(connection, Kind::connection) == nullptr || unopenablePaths.count(path) != 0) {
    lastError = kErrorInvalidUrl;
    return InternetHandle::none;
  }
  Handle request{Kind::request, path};
  request.head = verb == u"HEAD";
  return Add(request);
}

bool FakeHttp::SendRequest(InternetHandle request, const std::u16string& headers) {
  Handle* open = Find(request, Kind::request);
  if (open == nullptr) {
    return false;
  }
  for (auto call = requests.rbegin(); call != requests.rend(); ++call) {
    if (Narrow(call->objectPath) == open->path) {
      call->headers = headers;
      break;
    }
  }
  open->sent = !serverDown;
  open->received = false;
  if (!open->sent) {
    lastError = kErrorCannotConnect;
  }
  // The proxy lets the request through only with credentials it takes.
  open->proxyRefused = proxyAsks != 0 && !(open->logon && proxyTakesLogon);
  if (open->proxyRefused) {
    return open->sent;
  }
  const std::u16string range = u"Range: bytes=";
  const std::size_t at = headers.find(range);
  const auto found = files.find(open->path);
  if (found != files.end() && open->sent) {
    if (found->second.busy > 0) {
      open->busy = true;
      --found->second.busy;
      return true;
    }
    if (at != std::u16string::npos && ranges && found->second.status == 200) {
      open->rangeStart = std::stoul(Narrow(headers.substr(at + range.size())));
      open->position = open->rangeStart;
    }
    if (found->second.resets > 0) {
      open->resets = true;
      --found->second.resets;
    }
  }
  return open->sent;
}

bool FakeHttp::ReceiveResponse(InternetHandle request) {
  Handle* open = Find(request, Kind::request);
  if (open == nullptr || !open->sent || receiveFails) {
    lastError = open != nullptr && !open->sent ? kErrorHandleState : kErrorTimeout;
    return false;
  }
  open->received = true;
  return true;
}

std::optional<std::uint32_t> FakeHttp::StatusCode(InternetHandle request) {
  Handle* open = Find(request, Kind::request);
  if (open == nullptr || !open->received) {
    return std::nullopt;
  }
  if (open->proxyRefused) {
    return 407U;
  }
  const auto found = files.find(open->path);
  if (found == files.end()) {
    return 404U;
  }
  if (open->busy) {
    return 503U;
  }
  if (open->rangeStart >= found->second.body.size() && open->rangeStart > 0) {
    return 416U;
  }
  return open->rangeStart > 0 ? 206U : found->second.status;
}

std::optional<std::uint32_t> FakeHttp::ProxyAuthSchemes(InternetHandle request) {
  Handle* open = Find(request, Kind::request);
  if (open == nullptr || !open->received || !open->proxyRefused) {
    return std::nullopt;
  }
  return proxyAsks;
}

bool FakeHttp::UseLogonForProxy(InternetHandle request, std::uint32_t scheme) {
  // As WinHTTP: after the response that asked, with one of the schemes it offered; only Negotiate and NTLM
  // can take the logged-on user's credentials.
  Handle* open = Find(request, Kind::request);
  if (open == nullptr || !open->received || !open->proxyRefused || (scheme & proxyAsks) == 0 ||
      (scheme != kAuthNegotiate && scheme != kAuthNtlm)) {
    lastError = kErrorHandleState;
    return false;
  }
  open->logon = true;
  logonAnswers.push_back(scheme);
  return true;
}

std::optional<std::u16string> FakeHttp::HeaderText(InternetHandle request, std::uint32_t query) {
  Handle* open = Find(request, Kind::request);
  if (open == nullptr || !open->received) {
    return std::nullopt;
  }
  const auto found = files.find(open->path);
  const std::size_t size = found == files.end() || open->proxyRefused ? sizeof kErrorPage - 1
                           : open->busy                               ? sizeof kBusyPage - 1
                                                                      : found->second.body.size();
  std::optional<std::uint64_t> number;
  if (query == kQueryContentLength) {
    const bool declared = found != files.end() && !open->busy && found->second.declaredLength;
    number = (declared ? *found->second.declaredLength : size) - open->rangeStart;
  } else if (query == kQueryRetryAfter && found != files.end() && open->busy) {
    number = found->second.retryAfter;
  }
  if (!number) {
    return std::nullopt;
  }
  const std::string digits = std::to_string(*number);
  return std::u16string(digits.begin(), digits.end());
}

std::string FakeHttp::ErrorText(std::uint32_t code) {
  return "text of " + std::to_string(code) + "\r\n";
}

std::optional<std::uint32_t> FakeHttp::ReadData(InternetHandle request, void* buffer, std::uint32_t size) {
  largestRead = std::max(largestRead, size);
  Handle* open = Find(request, Kind::request);
  if (open == nullptr || !open->received) {
    return std::nullopt;
  }
  if (open->head) {
    return 0U;
  }
  const auto found = files.find(open->path);
  const Response missing{404, kErrorPage};
  const Response busy{503, kBusyPage};
  const Response& response =
      found == files.end() || open->proxyRefused ? missing : (open->busy ? busy : found->second);
  const std::size_t resetAfter = open->resets ? response.resetAfter : SIZE_MAX;
  if (open->position >= resetAfter) {
    lastError = kErrorConnection;
    return std::nullopt;
  }
  const std::size_t end = std::min(response.body.size(), resetAfter);
  if (open->position >= end) {
    return 0U;  // the end of the body (or a range beyond it, turned down)
  }
  const std::size_t count = std::min({static_cast<std::size_t>(size), piece, end - open->position});
  std::memcpy(buffer, response.body.data() + open->position, count);
  open->position += count;
  return static_cast<std::uint32_t>(count);
}

bool FakeHttp::Close(InternetHandle handle) {
  return handles_.erase(handle) != 0;
}
