#pragma once

#include "platform/http.h"

class Win32Http final : public Http {
 public:
  bool DefaultProxy(std::optional<std::u16string>& proxy) override;
  bool UserProxy(std::optional<std::u16string>& proxy) override;
};
