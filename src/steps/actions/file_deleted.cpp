#include "steps/actions/file_deleted.h"

#include "platform/files.h"
#include "steps/actions/file_replaced.h"

ActionResult DeleteKeptFile(InstallRecord* record, Files& files, const std::string& path) {
  if (ActionResult kept = KeepCopy(record, path); !kept) {
    return kept;
  }
  files.Remove(path);
  return ActionResult::Done();
}
