#pragma once

#include <map>

#include "platform/cabinet.h"

// Cabinets as a run that only plans opens them: the directory at the cabinet's start is read (from the
// package, or from the bytes of it the plan fetched) and each file it names is handed to the copy's
// notifications as the library would hand it, so the run names every file it would write; nothing is
// decompressed or written.
class PlanningCabinet final : public Cabinet {
 public:
  CabinetContext Create(CabinetFileCallbacks& callbacks, int cpuType, CabinetErrorRecord& record) override;
  bool Copy(CabinetContext context, const std::string& cabinetName, const std::string& cabinetPath, int flags,
            CabinetNotify& notify, void* user) override;
  bool Destroy(CabinetContext context) override;

 private:
  struct Context {
    CabinetFileCallbacks* callbacks = nullptr;
    CabinetErrorRecord* record = nullptr;
  };
  std::map<CabinetContext, Context> contexts_;
  std::uintptr_t next_ = 1;
};
