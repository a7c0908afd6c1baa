#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/action_result.h"
#include "platform/iis.h"

struct RunContext;

// One change that the website installation made to the IIS configuration: what it changed, and that as it
// was before and as it is after, each as applicationHost.config would show it.
struct IisChange {
  std::string what;
  std::string before;
  std::string after;
};

// The IIS configuration of the server's website through the admin manager: the server-level sites,
// application pools and ISAPI/CGI restrictions, and the site-level handlers, default document and request
// limits. Every change stays in the admin manager's memory until it is committed. An operation that cannot
// reach an element it must change stops, logs one line and reports false, so nothing half-made is
// committed; the results of the puts and adds themselves are not examined.
class IisWebsite {
 public:
  static constexpr std::int32_t kAlternatePort = 8080;
  // The configuration path of the server level, which applicationHost.config holds.
  static constexpr char16_t kApphostPath[] = u"MACHINE/WEBROOT/APPHOST";
  static constexpr char kApphostText[] = "MACHINE/WEBROOT/APPHOST";

  explicit IisWebsite(RunContext& run) : run_(run) {}

  // Creates the admin manager and fetches the sites, application pools and restrictions. False after a
  // failure, which is logged.
  bool Open();
  // True when a site of that name exists (and `removeIfFound` is false). Sets `nextSiteId` to the next
  // free id, or to the id of the site of that name when it removes it.
  bool FindSite(std::string_view name, bool removeIfFound);
  // True when a pool of that name exists; it becomes the pool that UpdateAppPool works on.
  bool FindAppPool(std::string_view name);
  // Appends the ISAPI restriction entry that allows the server module, unless one for its path is there;
  // `restrictionAdded` says whether this one added it.
  bool AddCgiRestriction();

  // Creates the site `siteName` with id `nextSiteId`, its root application in `poolName`, the root virtual
  // directory on the physical path, and an http binding on `port`.
  bool CreateSite(std::string_view physicalPath);
  // The warning when another site binds `port`: that site becomes `conflictingSiteName`.
  std::optional<std::string> FindPortConflict();
  // Moves the conflicting binding of `conflictingSiteName` to the first port from 8080 upward that no site
  // binds, keeping its protocol, address and host name; the line that says so, or nothing.
  std::optional<std::string> RebindConflictingSite();
  // Where RebindConflictingSite would move the conflicting binding, changing nothing: its information
  // before and after; nullopt when the conflicting site has no binding on `port`.
  std::optional<std::pair<std::string, std::string>> PlannedRebinding();

  bool CreateAppPool();
  // Sets the setup's properties on the pool FindAppPool found, after keeping in `poolKept` what it held.
  bool UpdateAppPool();
  // Puts back on the pool of that name what `poolKept` held of it (the record keeps it until the server
  // is committed): each value set again, each property the pool did not set cleared. False when a part
  // could not be put back.
  bool RestorePool(std::string_view name, std::string_view kept);

  // Handlers, default document and request limit at the site's configuration path. False after a
  // failure, which is logged.
  bool ConfigureSiteHandlers();
  // Its parts: the handlers (access policy and the handler list), the default document, the request
  // length limit; each false after its Fail.
  bool ConfigureHandlers(const std::u16string& sitePath);
  bool ConfigureDefaultDocument(const std::u16string& sitePath);
  bool LimitRequestLength(const std::u16string& sitePath);

  // CommitChanges; its HRESULT.
  std::int32_t Commit();
  // Commits from now on at the site's configuration path.
  void CommitAtSite();
  // Executes the site's "Start" method.
  bool StartSite();

  // A running pool's worker process holds the server modules loaded, so that they can be neither deleted
  // nor overwritten. StopAppPool executes the pool's "Stop" method and waits (a bounded time) for its
  // state "Stopped"; true when it was running and was asked to stop, and then it is to be started again
  // with StartAppPool. Nothing is logged when IIS or the pool is not there (a fresh server).
  bool StopAppPool(std::string_view name);
  void StartAppPool(std::string_view name);

  // What an install made, taken back in the admin manager's memory until Commit. Each finds its element
  // by name (the restriction by its path, the binding by the information the install set) and is false
  // when it is not there. A site goes with the configuration set at its path, unless it took the place of
  // a site of the same name, which is made again with that configuration.
  bool RemoveSite(std::string_view name, bool keepLocation = false);
  // Makes again the site that `siteKept` held (after the one made in its place is removed).
  bool RestoreSite(std::string_view kept);
  bool RemoveAppPool(std::string_view name);
  bool RemoveCgiRestriction(std::string_view path);
  bool RestoreBinding(std::string_view site, std::string_view moved, std::string_view original);

  // The first step of the configuration that failed: its call, code and logged line; done when none has.
  const ActionResult& Failure() const { return failure_; }

  // The configuration path of the site: "MACHINE/WEBROOT/APPHOST/" and its name.
  std::string SitePath() const;
  // Creates the admin manager and fetches the collections; each failure logged when `report` is set.
  bool OpenSections(bool report);
  // Executes a method of an element ("Start", "Stop"); false when it cannot be reached.
  static bool RunMethod(IisElement& element, std::u16string_view name);
  // The pool of that name in the pool collection, when there is one.
  std::unique_ptr<IisElement> PoolNamed(std::string_view name);

  std::string siteName;
  std::string poolName;
  std::string modulePath;
  std::string appDisplayName;
  std::int32_t port = 0;
  std::int32_t nextSiteId = 0;
  bool portConflict = false;
  std::string conflictingSiteName;
  // The binding information of the conflicting site before and after RebindConflictingSite moved it.
  std::string bindingBefore;
  std::string bindingAfter;
  bool restrictionAdded = false;
  // The site of the same name that FindSite removed, whole (ElementCopyText); empty when it removed none
  // or could not read it; and whether that site had a location of its own (the configuration at its path,
  // which the site made in its place takes over).
  std::string siteKept;
  bool siteLocationKept = false;
  // What UpdateAppPool changed on an existing pool, as it was: "NAME=VALUE" for each property (a child
  // element's as "CHILD/NAME"), joined by commas, the value as IisValueText or "-" where the pool set none.
  std::string poolKept;
  // What the installation changed, in the order it changed it (before the commit that makes it); Open
  // starts the list anew.
  std::vector<IisChange> changes;

 private:
  std::u16string Wide(std::string_view text) const;
  std::string Narrow(std::u16string_view text) const;
  // The text of a property of an element; nullopt when it cannot be read.
  std::optional<std::u16string> Text(IisElement& element, std::u16string_view name);
  // A property as the configuration shows it: name="value"; name=? when it cannot be read.
  std::string Shown(IisElement& element, std::u16string_view name);
  // The same for a value read (or not) by other means.
  std::string Shown(std::string name, const std::optional<std::u16string>& text) const;
  // The values of a property over the elements of a collection: "2 entries: "a", "b"" or "no entries".
  std::string Listed(IisElementCollection& collection, std::u16string_view name);
  // The "name" of a site as 8-bit text, compared by its first 255 characters.
  std::string SiteName(IisElement& site);
  // The element at a position of a collection.
  std::unique_ptr<IisElement> Item(IisElementCollection& collection, std::uint32_t position);
  std::uint32_t CountOf(IisElementCollection& collection);
  // The bindings collection of a site.
  std::unique_ptr<IisElementCollection> Bindings(IisElement& site);
  // The conflicting site's binding on `port`, its information, and the information with the port moved to
  // the first one from 8080 upward that no site binds; nullptr when there is none.
  std::unique_ptr<IisElement> ConflictingBinding(std::u16string& information, std::u16string& moved);
  // Sets the setup's properties on the pool; `changed` receives, for each property whose text it
  // changed, the text before and after ("name=\"value\"", joined by ", ").
  bool SetPoolProperties(IisElement& pool, IisChange& changed);
  // What SetPoolProperties is to change, as the pool holds it now (see `poolKept`); nullopt when a part
  // of it cannot be read.
  std::optional<std::string> KeepPoolProperties(IisElement& pool);
  // The property `name` of the pool, or of its child element `child` when one is named; false when that
  // child element cannot be reached, `property` empty when the property cannot be.
  bool PoolPropertyOf(IisElement& pool, std::u16string_view child, std::u16string_view name,
                      std::unique_ptr<IisProperty>& property);
  // Deletes the first element of the collection whose property has the value; false when none has.
  bool RemoveWhere(IisElementCollection* collection, std::u16string_view property, std::string_view value);
  // Logs the line of a step that failed, keeps the first failure with its call and code, and is false.
  bool Fail(const char* call, const std::string& message);

  RunContext& run_;
  std::unique_ptr<IisAdminManager> adminManager_;
  std::unique_ptr<IisElementCollection> siteCollection_;
  std::unique_ptr<IisElementCollection> poolCollection_;
  std::unique_ptr<IisElementCollection> restrictionCollection_;
  std::unique_ptr<IisElement> currentPool_;
  // The HRESULT of the last call whose reference a step fetched.
  std::int32_t lastCode_ = 0;
  ActionResult failure_;
};

// The port of a binding's information "address:port:host": the field between its last two colons (an
// IPv6 address in brackets may hold many, a host name none); nullopt when there is no such number.
std::optional<std::int32_t> BindingPort(std::u16string_view bindingInformation);
