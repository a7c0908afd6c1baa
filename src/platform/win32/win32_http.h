#pragma once

#include "platform/http.h"

class Win32Http final : public Http {
 public:
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
  std::uint32_t LastError() override;
  std::string ErrorText(std::uint32_t code) override;
  std::optional<std::uint32_t> ReadData(InternetHandle request, void* buffer, std::uint32_t size) override;
  bool Close(InternetHandle handle) override;
};
