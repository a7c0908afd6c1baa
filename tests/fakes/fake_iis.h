#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/iis.h"

// The IIS configuration in memory: one element tree per section and configuration path, elements with
// properties (names without case, as IIS reads them), child elements that exist on demand, collections,
// the site method "Start", a commit that records the whole configuration at its commit path, and any call
// failing on request. `Dump` writes the configuration in the form of applicationHost.config.
class FakeIis final : public Iis {
 public:
  // Called after each change the fake makes to the machine (the crash tests stop a run there).
  std::function<void()> changed;
  struct Node {
    std::string tag;
    std::vector<std::pair<std::u16string, std::u16string>> properties;
    // The type of each property put (as Put::type), by its name in lower case; one set up by a test or
    // loaded is text.
    std::map<std::u16string, std::string> types;
    std::vector<std::shared_ptr<Node>> children;
    std::vector<std::shared_ptr<Node>> items;
    const std::u16string* Property(std::u16string_view name) const;
    void Set(std::u16string_view name, std::u16string value);
    void Clear(std::u16string_view name);
    std::shared_ptr<Node> Child(const std::string& tag);
  };
  struct Put {
    std::string property;
    const char* type;  // "text", "bool", "int16", "int32", "uint32", "int64" or "uint64"
    std::u16string value;
  };
  struct Commit {
    std::u16string path;
    std::string configuration;
    // The whole configuration as committed, in the form of Save (what a process cut off later leaves).
    std::string saved;
  };

  std::int32_t CreateAdminManager(std::unique_ptr<IisAdminManager>& manager) override;

  // The root element of a section at a path, made when it is first asked for.
  std::shared_ptr<Node> Section(const std::u16string& section, const std::u16string& path);
  // A site (or any collection item) as a test sets it up: an element with properties, appended.
  std::shared_ptr<Node> AddItem(const std::u16string& section, const std::string& tag,
                                std::vector<std::pair<std::u16string, std::u16string>> properties,
                                const std::u16string& path = kApphost);
  // Drops every section set at the path or below it; ERROR_INVALID_INDEX when there is none.
  std::int32_t DeleteLocation(const std::u16string& path);
  // 0 when a section set at the path or below it sets something; ERROR_INVALID_INDEX when none does.
  std::int32_t FindLocation(const std::u16string& path) const;
  // A site as a test sets it up: its name, id and bindings (protocol and binding information each).
  std::shared_ptr<Node> AddSite(const std::u16string& name, const std::u16string& id,
                                const std::vector<std::pair<std::u16string, std::u16string>>& bindings);
  // The configuration as applicationHost.config would hold it.
  std::string Dump() const;
  // The whole configuration as text and back, for a configuration that outlives its process (the
  // end-to-end tests' admin manager keeps it beside its DLL between runs of the setup).
  std::string Save() const;
  void Load(const std::string& text);
  // True when the call named (and, where given, its argument: a section, an element's tag, a property
  // name, a method name) is to fail; its HRESULT then.
  std::int32_t Failure(const std::string& call, const std::string& argument = "") const;

  static constexpr char16_t kApphost[] = u"MACHINE/WEBROOT/APPHOST";

  // Calls that fail, by "Call" or "Call argument": "CreateAdminManager", "AdminSection SECTION",
  // "Collection TAG", "ChildElements TAG", "Item NAME", "PropertyByName NAME", "CommitChanges", ...
  std::map<std::string, std::int32_t> failing;
  std::vector<Put> puts;
  std::vector<Commit> commits;
  // The "name" of each site whose "Start" method was executed.
  std::vector<std::u16string> started;
  // Application pools: each "Start NAME" or "Stop NAME" executed; a pool's "state" property follows them
  // ("Started", "Stopped"; "Stopping" for good when pools hang on stop), and the hook hears of each change
  // (a pool's worker process holds the server modules while it runs).
  std::vector<std::u16string> poolCalls;
  bool poolsHangOnStop = false;
  std::function<void(const std::u16string& pool, bool running)> onPoolState;
  int liveReferences = 0;
  // The configuration as the admin managers alive now found it, or last committed it: what is left of
  // their changes when the last of their objects goes and nothing was committed (the server reads its
  // configuration files again; uncommitted changes die with the process's objects).
  std::optional<std::string> committed;
  // A configuration change (a property put, an element added or deleted, a location deleted) since then.
  bool uncommitted = false;
  // Called by every object of an admin manager as it goes.
  void Released();
  std::u16string commitPath = kApphost;

 private:
  std::map<std::pair<std::u16string, std::u16string>, std::shared_ptr<Node>> sections_;
};
