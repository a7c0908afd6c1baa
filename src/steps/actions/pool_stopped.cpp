#include "steps/actions/pool_stopped.h"

#include "product/run_context.h"
#include "steps/iis/iis_website.h"

ActionResult StopPool(RunContext& run, IisWebsite& website, const std::string& pool, bool& stopped) {
  stopped = false;
  if (ActionResult recorded = run.record.Add(RecordEntry::Kind::poolStopped, {pool}); !recorded) {
    return recorded;
  }
  stopped = website.StopAppPool(pool);
  return ActionResult::Done();
}

void StartPoolAgain(IisWebsite& website, const std::string& pool) {
  website.StartAppPool(pool);
}

UndoEnd UndoPoolStopped(UndoPass& pass, const RecordEntry& entry) {
  // A committed update started its pool again itself.
  if (pass.takingBack && !pass.undoingUpdate) {
    IisWebsite(pass.run).StartAppPool(entry.fields.front());
  }
  return UndoEnd::undone;
}
