#include "run/update_undo.h"

#include <utility>

#include "product/run_context.h"
#include "run/run_driver.h"
#include "steps/toolkit/product_registration.h"
#include "steps/undo/product_removal.h"

namespace {

constexpr char kUndone[] = "Successfully took back the last update";
constexpr char kUndoCompleted[] = "Successfully completed Setup for Undo";
constexpr char kNothingUndone[] = "Nothing to undo";
constexpr char kCouldNotUndo[] = "Could not take back every change of ";

}  // namespace

RunEnd RunUpdateUndo(RunContext& run, bool client, bool server) {
  SettleCutOffRun(run);
  const UpdateUndo undone = ProductRemoval(run).UndoLastUpdate(client, server);
  std::vector<const char*> kept;
  std::vector<ComponentEvent> events;
  bool any = false;
  for (const auto& [end, name] :
       {std::pair{undone.server, kServerDisplayName}, std::pair{undone.client, kClientDisplayName}}) {
    any = any || end == UpdateUndoEnd::undone || end == UpdateUndoEnd::removed || end == UpdateUndoEnd::left;
    if (end == UpdateUndoEnd::left) {
      kept.push_back(name);
    }
    // The first install taken back is the component's removal.
    if (end == UpdateUndoEnd::removed) {
      events.push_back({ComponentEnd::removed, name});
    }
  }
  return {0, any ? kUndone : kNothingUndone, kUndoCompleted,
          ShortfallLine(kCouldNotUndo, kept, TakenBack::none), events};
}
