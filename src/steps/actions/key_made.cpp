#include "steps/actions/key_made.h"

#include <algorithm>
#include <vector>

#include "core/path_text.h"
#include "product/run_context.h"

namespace {

constexpr char kCreateKeyCall[] = "RegCreateKeyEx";
constexpr char kRemovedKey[] = "Removed registry key ";
constexpr char kKeptKey[] = "Could not remove registry key ";

// The key of an entry, or one below it, is used by the other entry.
bool Below(const RecordEntry& key, const RecordEntry& other) {
  if ((other.kind != RecordEntry::Kind::key && other.kind != RecordEntry::Kind::value) ||
      other.fields[0] != key.fields[0] || other.fields[1] != key.fields[1]) {
    return false;
  }
  const std::string& path = key.fields[2];
  const std::string& otherPath = other.fields[2];
  return SameName(otherPath, path) || (otherPath.size() > path.size() && otherPath[path.size()] == '\\' &&
                                       SameName(std::string_view(otherPath).substr(0, path.size()), path));
}

}  // namespace

bool IsSafeKey(const RecordEntry& entry) {
  const std::string& view = entry.fields[1];
  const std::string& path = entry.fields[2];
  return RootNamed(entry.fields[0]) && (view == "0" || view == "256" || view == "512") && !path.empty() &&
         path.front() != '\\' && path.back() != '\\' && path.find("\\\\") == std::string::npos &&
         path.find('\\') != std::string::npos;
}

std::uint32_t ViewOf(const RecordEntry& entry) {
  return static_cast<std::uint32_t>(std::stoul(entry.fields[1]));
}

std::string KeyText(const RecordEntry& entry) {
  return entry.fields[0] + "\\" + entry.fields[2];
}

ActionResult MakeKey(RunContext& run, RegistryKey root, std::uint32_t view, const std::string& path,
                     std::uint32_t access, UniqueKey& key) {
  Registry& registry = run.machine.registry;
  std::vector<std::string> missing;
  for (std::size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
    const std::string level = path.substr(0, end);
    UniqueKey probe(registry);
    if (!missing.empty() ||
        registry.OpenKey(root, level, Registry::kRead | view, probe.Receive()) != Registry::kSuccess) {
      missing.push_back(level);
    }
    if (end == std::string::npos) {
      break;
    }
  }
  for (const std::string& level : missing) {
    if (ActionResult recorded =
            run.record.Add(RecordEntry::Kind::key, {RootName(root), std::to_string(view), level});
        !recorded) {
      return ActionResult::Failed(recorded.failedCall, recorded.code,
                                  kNotRecorded + RootName(root) + "\\" + level);
    }
  }
  const std::int32_t status = registry.CreateKey(root, path, access | view, key.Receive());
  return status == Registry::kSuccess ? ActionResult::Done() : ActionResult::Failed(kCreateKeyCall, status);
}

UndoEnd UndoKeyMade(UndoPass& pass, const RecordEntry& entry) {
  if (!IsSafeKey(entry)) {
    pass.Log(entry.scope, kUnsafeEntry + KeyText(entry));
    return UndoEnd::passed;
  }
  const bool used = std::any_of(pass.rest.begin(), pass.rest.end(),
                                [&entry](const RecordEntry& other) { return Below(entry, other); });
  if (used) {
    pass.deferred.push_back({RecordScope::shared, RecordEntry::Kind::key, entry.fields});
    return UndoEnd::undone;
  }
  const std::int32_t deleted =
      pass.run.machine.registry.DeleteKey(*RootNamed(entry.fields[0]), entry.fields[2], ViewOf(entry));
  if (deleted == Registry::kFileNotFound) {
    return UndoEnd::undone;
  }
  pass.Log(entry.scope, (deleted == Registry::kSuccess ? kRemovedKey : kKeptKey) + KeyText(entry));
  return deleted == Registry::kSuccess ? UndoEnd::undone : UndoEnd::left;
}
