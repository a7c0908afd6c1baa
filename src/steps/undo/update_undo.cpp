#include <algorithm>
#include <iterator>
#include <tuple>

#include "core/path_text.h"
#include "product/run_context.h"
#include "steps/undo/product_removal.h"

namespace {

constexpr char kNothingToUndo[] = "Nothing to undo: no update of this component can be taken back";
constexpr char kUndoing[] = "Taking back the last update";
constexpr char kFirstInstall[] = "The last update was the first install: it is removed";
constexpr char kOwnProduct[] = "Kept as it is, a product of its own with its own installer: ";
constexpr char kCutOffUndo[] = "The last undo was cut off before its end: it is finished first";

using Kind = RecordEntry::Kind;

bool EndsWithNoCase(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && SameName(std::string_view(text).substr(text.size() - end.size()), end);
}

// The installers the update fetched for the component, by its plan: what they put in place is a product of
// its own (SQL Server Express, a runtime, an MSI that was there before in another version), which the undo
// leaves. An MSI the update installed new has its own line, and goes.
void NameOwnProducts(const UndoPass& pass, const std::vector<RecordEntry>& entries, const LastUpdate& update,
                     RecordScope component) {
  const auto first = entries.begin() + static_cast<std::ptrdiff_t>(update.mark);
  const auto last = entries.begin() + static_cast<std::ptrdiff_t>(update.end);
  for (auto entry = first; entry != last; ++entry) {
    if (entry->kind != Kind::plan || entry->scope != component || entry->fields.empty()) {
      continue;
    }
    const std::string& packages = entry->fields[0];
    for (std::size_t at = 0; at < packages.size();) {
      const std::size_t blank = std::min(packages.find(' ', at), packages.size());
      const std::string name = packages.substr(at, blank - at);
      at = blank + 1;
      // An installer whose package the run did not fetch (a runtime already there) ran nothing.
      const bool fetched = std::any_of(first, last, [&](const RecordEntry& other) {
        return other.kind == Kind::file && other.scope == component &&
               EndsWithNoCase(other.fields[0], "\\" + name);
      });
      const bool installer = fetched && (EndsWithNoCase(name, ".exe") || EndsWithNoCase(name, ".msi"));
      const bool removed = std::any_of(first, last, [&](const RecordEntry& other) {
        return other.kind == Kind::msi && other.scope == component && EndsWithNoCase(other.fields[0], name);
      });
      if (installer && !removed) {
        pass.Log(component, kOwnProduct + name);
      }
    }
  }
}

}  // namespace

UpdateUndo ProductRemoval::UndoLastUpdate(bool client, bool server) {
  UpdateUndo ended;
  const std::vector<RecordEntry> entries = run_.record.Read().value_or(std::vector<RecordEntry>());
  std::vector<RecordScope> updates;
  bool removeClient = false;
  bool removeServer = false;
  for (const auto& [chosen, component, end] : {std::tuple{server, RecordScope::server, &ended.server},
                                               std::tuple{client, RecordScope::client, &ended.client}}) {
    if (!chosen) {
      continue;
    }
    const std::optional<LastUpdate> update = FindLastUpdate(entries, component);
    if (!update) {
      pass_.Log(component, kNothingToUndo);
      *end = UpdateUndoEnd::nothing;
      continue;
    }
    pass_.Log(component, kUndoing);
    NameOwnProducts(pass_, entries, *update, component);
    if (update->first) {
      pass_.Log(component, kFirstInstall);
      (component == RecordScope::client ? removeClient : removeServer) = true;
      *end = UpdateUndoEnd::removed;
    } else {
      updates.push_back(component);
      *end = UpdateUndoEnd::undone;
    }
  }
  // A first install goes as its uninstall would have it go, the shared part with the last component.
  if (removeClient || removeServer) {
    Remove(removeClient, removeServer);
    if (LeftSome()) {
      ended.server = removeServer ? UpdateUndoEnd::left : ended.server;
      ended.client = removeClient ? UpdateUndoEnd::left : ended.client;
    }
  }
  if (updates.empty()) {
    return ended;
  }
  const auto has = [&updates](RecordScope component) {
    return std::find(updates.begin(), updates.end(), component) != updates.end();
  };
  run_.record.BeginRun(kUndoMode, has(RecordScope::client), has(RecordScope::server));
  pass_.passedChanged.clear();
  TakeBackUpdates(updates);
  for (const RecordScope component : updates) {
    const bool kept =
        std::any_of(pass_.left.begin(), pass_.left.end(),
                    [component](const RecordEntry& entry) { return entry.scope == component; }) ||
        std::find(pass_.passedChanged.begin(), pass_.passedChanged.end(), component) !=
            pass_.passedChanged.end();
    // Committed even with a change kept: the undo is over, and a second one finds nothing.
    run_.record.Commit(component);
    if (kept) {
      (component == RecordScope::client ? ended.client : ended.server) = UpdateUndoEnd::left;
    }
  }
  return ended;
}

void ProductRemoval::TakeBackUpdates(const std::vector<RecordScope>& components) {
  const std::vector<RecordEntry> entries = run_.record.Read().value_or(std::vector<RecordEntry>());
  // The undo's own mark is the record's last: the updates are found before it.
  std::optional<std::size_t> skipping;
  for (std::size_t index = entries.size(); index > 0 && !skipping; --index) {
    if (entries[index - 1].kind == Kind::run) {
      skipping = index - 1;
    }
  }
  // Each component's update, by the index of its entries.
  std::vector<bool> chosen(entries.size(), false);
  for (const RecordScope component : components) {
    if (const std::optional<LastUpdate> update = FindLastUpdate(entries, component, skipping)) {
      for (std::size_t index = update->mark; index < update->end; ++index) {
        if (entries[index].scope == component && !IsRunMark(entries[index])) {
          chosen[index] = true;
        }
      }
    }
  }
  // The copies the update kept are named no more once they are back: they go.
  if (const std::optional<std::vector<RecordEntry>> kept = TakeBackChosen(entries, chosen, true)) {
    DropUnnamedCopies(*kept);
  }
}

void ProductRemoval::FinishUndo(const std::vector<RecordEntry>& entries, std::size_t mark) {
  pass_.Log(RecordScope::shared, kCutOffUndo);
  std::vector<RecordScope> open;
  for (const RecordScope component : {RecordScope::server, RecordScope::client}) {
    const bool named = RunNames(entries[mark], component);
    const bool committed = std::any_of(entries.begin() + static_cast<std::ptrdiff_t>(mark), entries.end(),
                                       [component](const RecordEntry& entry) {
                                         return entry.kind == Kind::commit && entry.scope == component;
                                       });
    if (named && !committed) {
      open.push_back(component);
    }
  }
  TakeBackUpdates(open);
  run_.record.CloseCutOffRun();
}
