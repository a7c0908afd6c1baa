#pragma once

#include "platform/wmi.h"

class Win32Wmi final : public Wmi {
 public:
  std::int32_t CreateLocator(std::unique_ptr<WmiLocator>& locator) override;
};
