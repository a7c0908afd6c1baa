#pragma once

#include "platform/http.h"

// The system's WinHTTP proxy settings, as the test sets them.
class FakeHttp final : public Http {
 public:
  bool DefaultProxy(std::optional<std::u16string>& proxy) override {
    ++defaultCalls;
    proxy = defaultProxy;
    return defaultWorks;
  }
  bool UserProxy(std::optional<std::u16string>& proxy) override {
    ++userCalls;
    proxy = userProxy;
    return userWorks;
  }

  bool defaultWorks = true;
  std::optional<std::u16string> defaultProxy;
  bool userWorks = true;
  std::optional<std::u16string> userProxy;
  int defaultCalls = 0;
  int userCalls = 0;
};
