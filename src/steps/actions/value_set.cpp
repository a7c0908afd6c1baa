#include "steps/actions/value_set.h"

#include <algorithm>
#include <optional>

#include "core/path_text.h"
#include "product/run_context.h"
#include "steps/actions/key_made.h"

namespace {

constexpr char kSetValueCall[] = "RegSetValueEx";
constexpr char kRemovedValue[] = "Removed registry value ";
constexpr char kRestoredValue[] = "Restored registry value ";
constexpr char kKeptValue[] = "Kept changed registry value ";
constexpr char kNotUndoneValue[] = "Could not restore registry value ";
// The fields of a value line.
constexpr std::size_t kName = 3;
constexpr std::size_t kBefore = 4;
constexpr std::size_t kAfter = 5;

bool SameKey(const RecordEntry& a, const RecordEntry& b) {
  return a.fields[0] == b.fields[0] && a.fields[1] == b.fields[1] && SameName(a.fields[2], b.fields[2]);
}

}  // namespace

ActionResult SetKeptValue(RunContext& run, const UniqueKey& key, RegistryKey root, std::uint32_t view,
                          const std::string& path, const std::string& name, const RegistryValue& value) {
  Registry& registry = run.machine.registry;
  // The key is open for writing alone: the value before is read through a key opened for reading.
  RegistryValue old;
  bool existed = false;
  {
    UniqueKey reading(registry);
    existed =
        registry.OpenKey(root, path, Registry::kQueryValue | view, reading.Receive()) == Registry::kSuccess &&
        registry.QueryValue(reading.get(), name, old) == Registry::kSuccess;
  }
  if (ActionResult recorded =
          run.record.Add(RecordEntry::Kind::value,
                         {RootName(root), std::to_string(view), path, name,
                          RecordedValueText(existed ? std::optional<RegistryValue>(old) : std::nullopt),
                          RecordedValueText(value)});
      !recorded) {
    return ActionResult::Failed(recorded.failedCall, recorded.code,
                                kNotRecorded + RootName(root) + "\\" + path + "\\" + name);
  }
  const std::int32_t status = registry.SetValue(key.get(), name, value);
  return status == Registry::kSuccess ? ActionResult::Done() : ActionResult::Failed(kSetValueCall, status);
}

UndoEnd UndoValueSet(UndoPass& pass, const RecordEntry& entry) {
  Registry& registry = pass.run.machine.registry;
  if (!IsSafeKey(entry)) {
    pass.Log(entry.scope, kUnsafeEntry + KeyText(entry));
    return UndoEnd::passed;
  }
  const std::string& name = entry.fields[kName];
  const std::string valueText = KeyText(entry) + "\\" + name;
  // A later change by a component that stays takes over what this one found before it. Nothing is later
  // than the running run's changes.
  const auto later = std::find_if(pass.rest.begin(), pass.rest.end(), [&](const RecordEntry& other) {
    return other.kind == RecordEntry::Kind::value && SameKey(other, entry) &&
           SameName(other.fields[kName], name);
  });
  if (!pass.takingBack && later != pass.rest.end()) {
    later->fields[kBefore] = entry.fields[kBefore];
    return UndoEnd::undone;
  }
  UniqueKey key(registry);
  if (registry.OpenKey(*RootNamed(entry.fields[0]), entry.fields[2],
                       Registry::kQueryValue | Registry::kSetValue | ViewOf(entry),
                       key.Receive()) != Registry::kSuccess) {
    return UndoEnd::undone;
  }
  RegistryValue current;
  if (registry.QueryValue(key.get(), name, current) != Registry::kSuccess) {
    return UndoEnd::undone;
  }
  if (RecordedValueText(current) != entry.fields[kAfter]) {
    pass.Log(entry.scope, kKeptValue + valueText);
    pass.passedChanged.push_back(entry.scope);
    return UndoEnd::passed;
  }
  const std::optional<RegistryValue> before = RecordedValue(entry.fields[kBefore]);
  const bool done = before ? registry.SetValue(key.get(), name, *before) == Registry::kSuccess
                           : registry.DeleteValue(key.get(), name) == Registry::kSuccess;
  if (!done) {
    pass.Log(entry.scope, kNotUndoneValue + valueText);
    return UndoEnd::left;
  }
  pass.Log(entry.scope, (before ? kRestoredValue : kRemovedValue) + valueText);
  return UndoEnd::undone;
}
