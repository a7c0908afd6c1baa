#pragma once

#include <map>
#include <memory>

#include "platform/cabinet.h"

// The File Decompression Interface of cabinet.dll.
class Win32Cabinet final : public Cabinet {
 public:
  Win32Cabinet();
  ~Win32Cabinet() override;

  CabinetContext Create(CabinetFileCallbacks& callbacks, int cpuType, CabinetErrorRecord& record) override;
  bool Copy(CabinetContext context, const std::string& cabinetName, const std::string& cabinetPath, int flags,
            CabinetNotify& notify, void* user) override;
  bool Destroy(CabinetContext context) override;

 private:
  struct Context;
  std::map<CabinetContext, std::unique_ptr<Context>> contexts_;
};
