#pragma once

#include "platform/iis.h"

class Win32Iis final : public Iis {
 public:
  std::int32_t CreateAdminManager(std::unique_ptr<IisAdminManager>& manager) override;
};
