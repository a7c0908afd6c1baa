#include "packages/download_status_store.h"

#include "app/setup_context.h"

DownloadStatusStore::DownloadStatusStore(SetupContext& context) : owner(context) {
  context.machine.runtime.RevertToSelf();
}
