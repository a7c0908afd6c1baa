#pragma once

#include <map>

#include "platform/cabinet.h"

// The File Decompression Interface on the host: real cabinets decoded by libmspack, read and written only
// through the callbacks the caller gave, with the notifications, the abort rule and the error record of
// FDI. Each file is offered with fdintCOPY_FILE: -1 aborts the copy (FDIERROR_USER_ABORT), 0 skips the
// file, any other value is the handle its bytes are written to; fdintCLOSE_FILE_INFO then hands the handle
// back with the file's DOS date and time, and FALSE from it aborts.
class FakeCabinet final : public Cabinet {
 public:
  CabinetContext Create(CabinetFileCallbacks& callbacks, int cpuType, CabinetErrorRecord& record) override;
  bool Copy(CabinetContext context, const std::string& cabinetName, const std::string& cabinetPath, int flags,
            CabinetNotify& notify, void* user) override;
  bool Destroy(CabinetContext context) override;

  // Set by the test: FDICreate fails with FDIERROR_ALLOC_FAIL, FDIDestroy fails.
  bool failCreate = false;
  bool failDestroy = false;
  // Counted: copies started, contexts still open.
  int copies = 0;
  std::size_t OpenContexts() const { return contexts_.size(); }

 private:
  struct Context {
    CabinetFileCallbacks* callbacks = nullptr;
    CabinetErrorRecord* record = nullptr;
  };
  std::map<CabinetContext, Context> contexts_;
  std::uintptr_t nextContext_ = 0x10;
};
