#include "steps/iis/iis_website.h"

#include <set>
#include <variant>

#include "core/leading_number.h"
#include "core/utf8_text.h"
#include "product/run_context.h"
#include "steps/iis/iis_element_copy.h"
#include "steps/iis/iis_value_text.h"

namespace {

constexpr char16_t kSitesSection[] = u"system.applicationHost/sites";
constexpr char16_t kPoolsSection[] = u"system.applicationHost/applicationPools";
constexpr char16_t kRestrictionSection[] = u"system.webServer/security/isapiCgiRestriction";
constexpr char16_t kHandlersSection[] = u"system.webServer/handlers";
constexpr char16_t kDefaultDocumentSection[] = u"system.webServer/defaultDocument";
constexpr char16_t kRequestFilteringSection[] = u"system.webServer/security/requestFiltering";
constexpr std::int32_t kSectionLocked = static_cast<std::int32_t>(0x80070021U);  // ERROR_LOCK_VIOLATION
constexpr std::int32_t kOutOfMemory = static_cast<std::int32_t>(0x8007000EU);    // E_OUTOFMEMORY
constexpr std::uint32_t kMaxContentLength = 524288000;                           // 500 MB
constexpr std::size_t kSiteNameChars = 255;

constexpr char kNotRegistered[] =
    "You have not selected IIS management tootls and scripts in IIS Installation. Please add these features";
constexpr char kNoAdminManager[] =
    "Could not access Writable Admin Manager.Please ensure that you have enabled all features in IIS setup "
    "in "
    "Windows configuration. For updating server setup App should be run in  Administration role.";
constexpr char kNoSiteSection[] =
    "Could not access Site Section.You must run this App in Administration role while running server setup.";
constexpr char kNoSiteCollection[] = "Could not access Site Collection";
constexpr char kNoPoolSection[] = "Could not access Application Pool Section";
constexpr char kNoPoolCollection[] = "Could not get Application Pool Collection";
constexpr char kNoSecuritySection[] = "Could not get security section";
constexpr char kNoRestrictionCollection[] = "Could not get restriction collection";
constexpr char kIsapiMissing[] = "Please check whether ISAPI is installed";
constexpr char kNoHandlersSection[] = "Could not get handlers section";
constexpr char kNoBstr[] = "BSTR allocation failed";
constexpr char kNoAccessPolicy[] = "Could not get accessPolicy property";
constexpr char kNoHandlerCollection[] = "Could not get handlers collection";
constexpr char kNoHandler[] = "Could not create handler";
constexpr char kNoDefaultFilesSection[] = "Could not get Default Files section";
constexpr char kNoDefaultDocumentCollection[] = "Could not get default document collection";
constexpr char kNoRequestFiltering[] = "Could not get requestFiltering section";
constexpr char kNoRequestLimits[] = "Could not get requestLimits element";
constexpr char kNoContentLength[] = "Could not get maxAllowedContentLength property";
constexpr char kNoRestriction[] = "Could not add restriction";
constexpr char kNoSite[] = "Could not create Site";
constexpr char kNoPool[] = "Could not create Application Pool";
constexpr char kNoPoolUpdate[] = "Could not update Application Pool";
constexpr char kNoRebind[] = "Could not move the binding of ";
constexpr char kNoStart[] = "Could not start Site";
constexpr char16_t kPoolState[] = u"state";
constexpr char16_t kPoolStarted[] = u"Started";
constexpr char16_t kPoolStopped[] = u"Stopped";
constexpr char16_t kPoolStopping[] = u"Stopping";
constexpr char kStoppedPool[] = "Stopped application pool:";
constexpr char kStartedPool[] = "Started application pool:";
constexpr char kPoolNotStopped[] = "Application pool did not stop in time:";
// The wait for a stopping pool: 60 polls half a second apart.
constexpr int kPoolStopPolls = 60;
constexpr std::uint32_t kPoolStopPollMs = 500;
constexpr char kInUse[] = " is already in use on ";
constexpr char kContinue[] = "Do you want to continue? ";
constexpr char kMoved[] = " is moved to ";
constexpr char kOn[] = " on ";
// How the list of changes names what it changed.
constexpr char kNothing[] = "(none)";
constexpr char kPoolChange[] = "application pool ";
constexpr char kCreatedWith[] = "created with ";
constexpr char kBindingChange[] = "binding of site ";
constexpr char kBindingText[] = "bindingInformation=";
constexpr char kSiteChange[] = "site ";
constexpr char kSiteReplaced[] = " (a site of the same name, replaced)";
constexpr char kRestrictionChange[] = "isapiCgiRestriction";
constexpr char kAccessPolicyChange[] = "handlers accessPolicy";
constexpr char kHandlersChange[] = "handlers";
constexpr char kDefaultDocumentChange[] = "defaultDocument";
constexpr char kRequestLimitChange[] = "requestFiltering/requestLimits";
constexpr char kNoEntries[] = "no entries";
constexpr char kEntry[] = " entry: ";
constexpr char kEntries[] = " entries: ";

// Sets a property of an element (GetPropertyByName, put_Value); the HRESULT of GetPropertyByName (E_POINTER
// when it handed out nothing). The put's own result is not examined.
std::int32_t Set(IisElement& element, std::u16string_view name, const IisValue& value) {
  constexpr auto kNoPointer = static_cast<std::int32_t>(0x80004003U);  // E_POINTER
  std::unique_ptr<IisProperty> property;
  const std::int32_t result = element.PropertyByName(name, property);
  if (ComFailed(result) || !property) {
    return ComFailed(result) ? result : kNoPointer;
  }
  property->PutValue(value);
  return result;
}

// The same through the element's property collection (get_Properties, get_Item, put_Value).
bool SetItem(IisPropertyCollection& properties, std::u16string_view name, const IisValue& value) {
  std::unique_ptr<IisProperty> property;
  if (ComFailed(properties.Item(name, property)) || !property) {
    return false;
  }
  property->PutValue(value);
  return true;
}

// The reference a call hands out, or nothing when it failed; `code` is the call's HRESULT.
template <typename Reference, typename Call>
std::unique_ptr<Reference> Fetch(std::int32_t& code, Call call) {
  std::unique_ptr<Reference> reference;
  code = call(reference);
  if (ComFailed(code)) {
    reference.reset();
  }
  return reference;
}

std::u16string Decimal(std::int32_t number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::optional<std::int32_t> BindingPort(std::u16string_view bindingInformation) {
  const std::size_t hostColon = bindingInformation.rfind(u':');
  if (hostColon == std::u16string_view::npos || hostColon == 0) {
    return std::nullopt;
  }
  const std::size_t portColon = bindingInformation.rfind(u':', hostColon - 1);
  if (portColon == std::u16string_view::npos) {
    return std::nullopt;
  }
  const std::u16string_view field = bindingInformation.substr(portColon + 1, hostColon - portColon - 1);
  if (field.empty() || field.find_first_not_of(u"0123456789") != std::u16string_view::npos) {
    return std::nullopt;
  }
  return LeadingNumber(field);
}

std::u16string IisWebsite::Wide(std::string_view text) const {
  return run_.machine.runtime.Utf8ToWide(text).value_or(u"");
}

std::string IisWebsite::Narrow(std::u16string_view text) const {
  return run_.machine.runtime.WideToUtf8(text).value_or("");
}

bool IisWebsite::Fail(const char* call, const std::string& message) {
  WriteLog(run_, LogTag::server, message);
  if (failure_.ok()) {
    failure_ = ActionResult::Failed(call, lastCode_, message);
  }
  return false;
}

std::optional<std::u16string> IisWebsite::Text(IisElement& element, std::u16string_view name) {
  std::unique_ptr<IisProperty> property;
  std::u16string text;
  if (ComFailed(element.PropertyByName(name, property)) || !property ||
      ComFailed(property->StringValue(text))) {
    return std::nullopt;
  }
  return text;
}

std::string IisWebsite::Shown(IisElement& element, std::u16string_view name) {
  // The names the setup reads are ASCII.
  return Shown(std::string(name.begin(), name.end()), Text(element, name));
}

std::string IisWebsite::Shown(std::string name, const std::optional<std::u16string>& text) const {
  name.append(1, '=');
  return text ? Quoted(name, Narrow(*text)) : name.append(1, '?');
}

std::string IisWebsite::Listed(IisElementCollection& collection, std::u16string_view name) {
  const std::uint32_t count = CountOf(collection);
  if (count == 0) {
    return kNoEntries;
  }
  std::string listed = std::to_string(count) + (count == 1 ? kEntry : kEntries);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::unique_ptr<IisElement> item = Item(collection, i);
    const std::optional<std::u16string> text = item ? Text(*item, name) : std::nullopt;
    listed.append(i == 0 ? "" : ", ").append(text ? Quoted("", Narrow(*text)) : std::string("?"));
  }
  return listed;
}

std::string IisWebsite::SiteName(IisElement& site) {
  return std::string(CutUtf8(Narrow(Text(site, u"name").value_or(u"")), kSiteNameChars));
}

std::unique_ptr<IisElement> IisWebsite::Item(IisElementCollection& collection, std::uint32_t position) {
  return Fetch<IisElement>(lastCode_, [&](auto& out) { return collection.Item(position, out); });
}

std::uint32_t IisWebsite::CountOf(IisElementCollection& collection) {
  std::uint32_t count = 0;
  return ComFailed(collection.Count(count)) ? 0 : count;
}

std::unique_ptr<IisElementCollection> IisWebsite::Bindings(IisElement& site) {
  const auto children =
      Fetch<IisChildElementCollection>(lastCode_, [&](auto& out) { return site.ChildElements(out); });
  if (!children) {
    return nullptr;
  }
  const auto bindings =
      Fetch<IisElement>(lastCode_, [&](auto& out) { return children->Item(u"bindings", out); });
  if (!bindings) {
    return nullptr;
  }
  return Fetch<IisElementCollection>(lastCode_, [&](auto& out) { return bindings->Collection(out); });
}

std::string IisWebsite::SitePath() const {
  return std::string(kApphostText).append(1, '/').append(siteName);
}

bool IisWebsite::Open() {
  changes.clear();
  return OpenSections(true);
}

bool IisWebsite::OpenSections(bool report) {
  const auto fail = [this, report](const char* call, std::int32_t code, const char* message) {
    lastCode_ = code;
    return report ? Fail(call, message) : false;
  };
  // The entry point has started COM for this thread already; this start changes nothing there.
  run_.machine.runtime.InitializeCom(Runtime::kCoinitApartmentThreaded);
  const std::int32_t created = run_.machine.iis.CreateAdminManager(adminManager_);
  if (created != 0 || !adminManager_) {
    return fail("CoCreateInstance", created,
                created == Iis::kClassNotRegistered ? kNotRegistered : kNoAdminManager);
  }
  const struct {
    const char16_t* section;
    std::unique_ptr<IisElementCollection>& collection;
    const char* noSection;
    const char* noCollection;
  } sections[] = {
      {kSitesSection, siteCollection_, kNoSiteSection, kNoSiteCollection},
      {kPoolsSection, poolCollection_, kNoPoolSection, kNoPoolCollection},
      {kRestrictionSection, restrictionCollection_, kNoSecuritySection, kNoRestrictionCollection},
  };
  for (const auto& section : sections) {
    std::unique_ptr<IisElement> element;
    const std::int32_t opened = adminManager_->AdminSection(section.section, kApphostPath, element);
    if (opened != 0 || !element) {
      return fail("GetAdminSection", opened, section.noSection);
    }
    const std::int32_t fetched = element->Collection(section.collection);
    if (fetched != 0 || !section.collection) {
      return fail("get_Collection", fetched, section.noCollection);
    }
  }
  return true;
}

bool IisWebsite::FindSite(std::string_view name, bool removeIfFound) {
  nextSiteId = 0;
  const std::uint32_t count = CountOf(*siteCollection_);
  if (count == 0) {
    nextSiteId = 1;
    return false;
  }
  const std::u16string wanted = Wide(name);
  for (std::uint32_t i = 0; i < count; ++i) {
    // A site that cannot be read does not match.
    const std::unique_ptr<IisElement> site = Item(*siteCollection_, i);
    if (!site) {
      continue;
    }
    const std::int32_t id = LeadingNumber(std::string_view(Narrow(Text(*site, u"id").value_or(u""))));
    if (Text(*site, u"name") == wanted) {
      if (!removeIfFound) {
        return true;
      }
      nextSiteId = id;
      // The site goes; what it was is kept for the record until the server is committed.
      const std::optional<IisElementCopy> copy = CopyElement(*site);
      siteKept = copy ? ElementCopyText(*copy) : std::string();
      siteLocationKept = adminManager_->FindLocation(kApphostPath, Wide(name)) == 0;
      siteCollection_->DeleteElement(i);
      return false;
    }
    nextSiteId = std::max(nextSiteId, id);
  }
  ++nextSiteId;
  return false;
}

bool IisWebsite::FindAppPool(std::string_view name) {
  const std::u16string wanted = Wide(name);
  const std::uint32_t count = CountOf(*poolCollection_);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::unique_ptr<IisElement> pool = Item(*poolCollection_, i);
    if (pool && Text(*pool, u"name") == wanted) {
      currentPool_ = std::move(pool);
      return true;
    }
  }
  return false;
}

bool IisWebsite::AddCgiRestriction() {
  // IIS takes one entry a path: an entry there already stays as it is, and is not this run's.
  restrictionAdded = false;
  const std::u16string path = Wide(modulePath);
  const std::uint32_t count = CountOf(*restrictionCollection_);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::unique_ptr<IisElement> entry = Item(*restrictionCollection_, i);
    if (entry && Text(*entry, u"path") == path) {
      return true;
    }
  }
  const auto entry = Fetch<IisElement>(
      lastCode_, [&](auto& out) { return restrictionCollection_->CreateNewElement(u"add", out); });
  if (!entry) {
    return Fail("CreateNewElement", kNoRestriction);
  }
  Set(*entry, u"path", path);
  Set(*entry, u"allowed", true);
  Set(*entry, u"description", Wide(appDisplayName));
  restrictionAdded = restrictionCollection_->AddElement(*entry, -1) == 0;
  if (restrictionAdded) {
    changes.push_back({kRestrictionChange, kNothing,
                       Shown(*entry, u"path")
                           .append(1, ' ')
                           .append(Shown(*entry, u"allowed"))
                           .append(1, ' ')
                           .append(Shown(*entry, u"description"))});
  }
  return true;
}

bool IisWebsite::CreateSite(std::string_view physicalPath) {
  const auto site = Fetch<IisElement>(
      lastCode_, [&](auto& out) { return siteCollection_->CreateNewElement(u"site", out); });
  if (!site) {
    return Fail("CreateNewElement", kNoSite);
  }
  Set(*site, u"name", Wide(siteName));
  // The whole id: IIS gives sites ids far beyond 16 bits.
  Set(*site, u"Id", static_cast<std::uint32_t>(nextSiteId));
  Set(*site, u"serverAutoStart", true);

  const auto applications =
      Fetch<IisElementCollection>(lastCode_, [&](auto& out) { return site->Collection(out); });
  const auto application =
      applications
          ? Fetch<IisElement>(lastCode_,
                              [&](auto& out) { return applications->CreateNewElement(u"application", out); })
          : nullptr;
  const auto applicationProperties =
      application
          ? Fetch<IisPropertyCollection>(lastCode_, [&](auto& out) { return application->Properties(out); })
          : nullptr;
  if (!applicationProperties) {
    return Fail("CreateNewElement", kNoSite);
  }
  SetItem(*applicationProperties, u"path", std::u16string(u"/"));
  SetItem(*applicationProperties, u"applicationPool", Wide(poolName));

  const auto directories =
      Fetch<IisElementCollection>(lastCode_, [&](auto& out) { return application->Collection(out); });
  const auto directory =
      directories
          ? Fetch<IisElement>(
                lastCode_, [&](auto& out) { return directories->CreateNewElement(u"virtualDirectory", out); })
          : nullptr;
  const auto directoryProperties =
      directory
          ? Fetch<IisPropertyCollection>(lastCode_, [&](auto& out) { return directory->Properties(out); })
          : nullptr;
  if (!directoryProperties) {
    return Fail("CreateNewElement", kNoSite);
  }
  SetItem(*directoryProperties, u"path", std::u16string(u"/"));
  SetItem(*directoryProperties, u"physicalPath", Wide(physicalPath));

  directories->AddElement(*directory, -1);
  applications->AddElement(*application, -1);
  siteCollection_->AddElement(*site, -1);

  const auto bindings = Bindings(*site);
  const auto binding =
      bindings ? Fetch<IisElement>(lastCode_,
                                   [&](auto& out) { return bindings->CreateNewElement(u"binding", out); })
               : nullptr;
  const auto bindingProperties =
      binding ? Fetch<IisPropertyCollection>(lastCode_, [&](auto& out) { return binding->Properties(out); })
              : nullptr;
  if (!bindingProperties) {
    return Fail("CreateNewElement", kNoSite);
  }
  SetItem(*bindingProperties, u"protocol", std::u16string(u"http"));
  SetItem(*bindingProperties, u"bindingInformation", u"*:" + Decimal(port) + u":");
  bindings->AddElement(*binding, -1);
  std::string id = Quoted("id=", std::to_string(nextSiteId));
  std::string after = id;
  after.append(" ").append(Shown(*binding, u"protocol")).append(" ");
  after.append(Shown(*binding, u"bindingInformation")).append(" ");
  after.append(Shown(*application, u"applicationPool")).append(" ");
  after.append(Shown(*directory, u"physicalPath"));
  changes.push_back({Quoted(kSiteChange, siteName), siteKept.empty() ? kNothing : id.append(kSiteReplaced),
                     std::move(after)});
  return true;
}

std::optional<std::string> IisWebsite::FindPortConflict() {
  const std::uint32_t count = CountOf(*siteCollection_);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::unique_ptr<IisElement> site = Item(*siteCollection_, i);
    if (!site) {
      continue;
    }
    const std::string name = SiteName(*site);
    if (name == CutUtf8(siteName, kSiteNameChars)) {
      continue;
    }
    const auto bindings = Bindings(*site);
    const std::uint32_t bindingCount = bindings ? CountOf(*bindings) : 0;
    for (std::uint32_t j = 0; j < bindingCount; ++j) {
      const std::unique_ptr<IisElement> binding = Item(*bindings, j);
      if (!binding || BindingPort(Text(*binding, u"bindingInformation").value_or(u"")) != port) {
        continue;
      }
      portConflict = true;
      conflictingSiteName = name;
      return std::to_string(port) + kInUse + name + kContinue;
    }
  }
  return std::nullopt;
}

std::unique_ptr<IisElement> IisWebsite::ConflictingBinding(std::u16string& information,
                                                           std::u16string& moved) {
  // Every port a site binds, so that the binding moves to one that nobody holds.
  std::set<std::int32_t> bound = {port};
  std::unique_ptr<IisElement> binding;
  const std::uint32_t count = CountOf(*siteCollection_);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::unique_ptr<IisElement> site = Item(*siteCollection_, i);
    if (!site) {
      continue;
    }
    const bool conflicting = SiteName(*site) == conflictingSiteName;
    const auto bindings = Bindings(*site);
    const std::uint32_t bindingCount = bindings ? CountOf(*bindings) : 0;
    for (std::uint32_t j = 0; j < bindingCount; ++j) {
      std::unique_ptr<IisElement> candidate = Item(*bindings, j);
      const std::u16string text = candidate ? Text(*candidate, u"bindingInformation").value_or(u"") : u"";
      const std::optional<std::int32_t> candidatePort = BindingPort(text);
      if (candidatePort) {
        bound.insert(*candidatePort);
      }
      if (conflicting && !binding && candidatePort == port) {
        binding = std::move(candidate);
        information = text;
      }
    }
  }
  if (!binding) {
    return nullptr;
  }
  std::int32_t freePort = kAlternatePort;
  while (bound.count(freePort) != 0) {
    ++freePort;
  }
  // Only the port field changes: "address:port:host".
  const std::size_t hostColon = information.rfind(u':');
  const std::size_t portColon = information.rfind(u':', hostColon - 1);
  moved = information.substr(0, portColon + 1) + Decimal(freePort) + information.substr(hostColon);
  return binding;
}

std::optional<std::pair<std::string, std::string>> IisWebsite::PlannedRebinding() {
  std::u16string information;
  std::u16string moved;
  if (!ConflictingBinding(information, moved)) {
    return std::nullopt;
  }
  return std::pair{Narrow(information), Narrow(moved)};
}

std::optional<std::string> IisWebsite::RebindConflictingSite() {
  std::u16string information;
  std::u16string moved;
  const std::unique_ptr<IisElement> binding = ConflictingBinding(information, moved);
  if (!binding) {
    return std::nullopt;
  }
  lastCode_ = Set(*binding, u"bindingInformation", moved);
  if (ComFailed(lastCode_)) {
    Fail("GetPropertyByName", kNoRebind + conflictingSiteName);
    return std::nullopt;
  }
  bindingBefore = Narrow(information);
  bindingAfter = Narrow(moved);
  changes.push_back({Quoted(kBindingChange, conflictingSiteName), Quoted(kBindingText, bindingBefore),
                     Quoted(kBindingText, bindingAfter)});
  const std::optional<std::int32_t> freePort = BindingPort(moved);
  return std::to_string(port) + kMoved + std::to_string(freePort.value_or(0)) + kOn + conflictingSiteName;
}

bool IisWebsite::CreateAppPool() {
  currentPool_ =
      Fetch<IisElement>(lastCode_, [&](auto& out) { return poolCollection_->CreateNewElement(u"add", out); });
  if (!currentPool_) {
    return Fail("CreateNewElement", kNoPool);
  }
  Set(*currentPool_, u"name", Wide(poolName));
  IisChange created{Quoted(kPoolChange, poolName), kNothing, {}};
  IisChange set;
  if (!SetPoolProperties(*currentPool_, set)) {
    return Fail("CreateNewElement", kNoPool);
  }
  created.after = std::string(kCreatedWith).append(set.after);
  poolCollection_->AddElement(*currentPool_, -1);
  changes.push_back(std::move(created));
  return true;
}

bool IisWebsite::UpdateAppPool() {
  poolKept.clear();
  if (!currentPool_) {
    return Fail("get_ChildElements", kNoPoolUpdate);
  }
  // What the pool held is kept for the record before it is changed; a pool that cannot be read is not
  // changed.
  std::optional<std::string> kept = KeepPoolProperties(*currentPool_);
  if (!kept) {
    return Fail("GetPropertyByName", kNoPoolUpdate);
  }
  IisChange changed{Quoted(kPoolChange, poolName), {}, {}};
  if (!SetPoolProperties(*currentPool_, changed)) {
    return Fail("get_ChildElements", kNoPoolUpdate);
  }
  poolKept = std::move(*kept);
  if (!changed.after.empty()) {
    changes.push_back(std::move(changed));
  }
  return true;
}

bool IisWebsite::ConfigureSiteHandlers() {
  const std::u16string sitePath = Wide(SitePath());
  return ConfigureHandlers(sitePath) && ConfigureDefaultDocument(sitePath) && LimitRequestLength(sitePath);
}

bool IisWebsite::ConfigureHandlers(const std::u16string& sitePath) {
  std::unique_ptr<IisElement> handlers;
  const std::int32_t handlersResult = adminManager_->AdminSection(kHandlersSection, sitePath, handlers);
  lastCode_ = handlersResult;
  if (handlersResult == kSectionLocked) {
    return Fail("GetAdminSection", kIsapiMissing);
  }
  if (ComFailed(handlersResult) || !handlers) {
    return Fail("GetAdminSection", kNoHandlersSection);
  }
  std::unique_ptr<IisProperty> accessPolicy;
  const std::int32_t accessResult = handlers->PropertyByName(u"accessPolicy", accessPolicy);
  lastCode_ = accessResult;
  if (accessResult == kOutOfMemory) {
    return Fail("GetPropertyByName", kNoBstr);
  }
  if (ComFailed(accessResult) || !accessPolicy) {
    return Fail("GetPropertyByName", kNoAccessPolicy);
  }
  IisChange policy{kAccessPolicyChange, Shown(*handlers, u"accessPolicy"), {}};
  accessPolicy->PutText(u"Read,Write,Script,Execute");
  policy.after = Shown(*handlers, u"accessPolicy");
  changes.push_back(std::move(policy));
  const auto handlerCollection =
      Fetch<IisElementCollection>(lastCode_, [&](auto& out) { return handlers->Collection(out); });
  if (!handlerCollection) {
    return Fail("get_Collection", kNoHandlerCollection);
  }
  IisChange handlerList{kHandlersChange, Listed(*handlerCollection, u"name"), {}};
  handlerCollection->Clear();
  const std::vector<std::vector<std::pair<const char16_t*, std::u16string>>> entries = {
      {{u"name", Wide(appDisplayName)},
       {u"path", u"*.dll"},
       {u"verb", u"GET,POST"},
       {u"modules", u"IsapiModule"},
       {u"scriptProcessor", Wide(modulePath)},
       {u"resourceType", u"Either"},
       {u"requireAccess", u"Execute"}},
      {{u"name", u"StaticFile"},
       {u"path", u"*"},
       {u"verb", u"*"},
       {u"modules", u"StaticFileModule,DefaultDocumentModule,DirectoryListingModule"},
       {u"resourceType", u"Either"},
       {u"requireAccess", u"Read"}},
  };
  for (const auto& entry : entries) {
    const auto handler = Fetch<IisElement>(
        lastCode_, [&](auto& out) { return handlerCollection->CreateNewElement(u"add", out); });
    if (!handler) {
      return Fail("CreateNewElement", kNoHandler);
    }
    for (const auto& [name, value] : entry) {
      Set(*handler, name, value);
    }
    handlerCollection->AddElement(*handler, -1);
  }
  handlerList.after = Listed(*handlerCollection, u"name");
  changes.push_back(std::move(handlerList));
  return true;
}

bool IisWebsite::ConfigureDefaultDocument(const std::u16string& sitePath) {
  const auto defaultDocument = Fetch<IisElement>(lastCode_, [&](auto& out) {
    return adminManager_->AdminSection(kDefaultDocumentSection, sitePath, out);
  });
  if (!defaultDocument) {
    return Fail("GetAdminSection", kNoDefaultFilesSection);
  }
  IisChange document{kDefaultDocumentChange, Shown(*defaultDocument, u"enabled"), {}};
  Set(*defaultDocument, u"enabled", true);
  const auto children = Fetch<IisChildElementCollection>(
      lastCode_, [&](auto& out) { return defaultDocument->ChildElements(out); });
  const auto files =
      children ? Fetch<IisElement>(lastCode_, [&](auto& out) { return children->Item(u"files", out); })
               : nullptr;
  const auto fileCollection =
      files ? Fetch<IisElementCollection>(lastCode_, [&](auto& out) { return files->Collection(out); })
            : nullptr;
  if (!fileCollection) {
    return Fail("get_Collection", kNoDefaultDocumentCollection);
  }
  document.before.append(" files: ").append(Listed(*fileCollection, u"value"));
  fileCollection->Clear();
  const auto file =
      Fetch<IisElement>(lastCode_, [&](auto& out) { return fileCollection->CreateNewElement(u"add", out); });
  if (!file) {
    return Fail("get_Collection", kNoDefaultDocumentCollection);
  }
  Set(*file, u"value", std::u16string(u"HNembricAI.dll"));
  fileCollection->AddElement(*file, -1);
  document.after = Shown(*defaultDocument, u"enabled");
  document.after.append(" files: ").append(Listed(*fileCollection, u"value"));
  changes.push_back(std::move(document));
  return true;
}

bool IisWebsite::LimitRequestLength(const std::u16string& sitePath) {
  const auto filtering = Fetch<IisElement>(lastCode_, [&](auto& out) {
    return adminManager_->AdminSection(kRequestFilteringSection, sitePath, out);
  });
  if (!filtering) {
    return Fail("GetAdminSection", kNoRequestFiltering);
  }
  const auto limits = Fetch<IisElement>(
      lastCode_, [&](auto& out) { return filtering->ElementByName(u"requestLimits", out); });
  if (!limits) {
    return Fail("GetElementByName", kNoRequestLimits);
  }
  IisChange limit{kRequestLimitChange, Shown(*limits, u"maxAllowedContentLength"), {}};
  lastCode_ = Set(*limits, u"maxAllowedContentLength", kMaxContentLength);
  if (ComFailed(lastCode_)) {
    return Fail("GetPropertyByName", kNoContentLength);
  }
  limit.after = Shown(*limits, u"maxAllowedContentLength");
  changes.push_back(std::move(limit));
  return true;
}

std::int32_t IisWebsite::Commit() {
  return adminManager_->CommitChanges();
}

void IisWebsite::CommitAtSite() {
  adminManager_->SetCommitPath(Wide(SitePath()));
  std::u16string readBack;
  adminManager_->CommitPath(readBack);
}

bool IisWebsite::StartSite() {
  const std::u16string wanted = Wide(siteName);
  const std::uint32_t count = CountOf(*siteCollection_);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::unique_ptr<IisElement> site = Item(*siteCollection_, i);
    if (!site || Text(*site, u"name") != wanted) {
      continue;
    }
    return RunMethod(*site, u"Start") || Fail("Execute", kNoStart);
  }
  return true;
}

bool IisWebsite::RunMethod(IisElement& element, std::u16string_view name) {
  std::int32_t code = 0;
  const auto methods = Fetch<IisMethodCollection>(code, [&](auto& out) { return element.Methods(out); });
  const auto method =
      methods ? Fetch<IisMethod>(code, [&](auto& out) { return methods->Item(name, out); }) : nullptr;
  const auto instance =
      method ? Fetch<IisMethodInstance>(code, [&](auto& out) { return method->CreateInstance(out); })
             : nullptr;
  if (!instance) {
    return false;
  }
  instance->Execute();
  return true;
}

std::unique_ptr<IisElement> IisWebsite::PoolNamed(std::string_view name) {
  if (!poolCollection_ && !OpenSections(false)) {
    return nullptr;
  }
  const std::u16string wanted = Wide(name);
  const std::uint32_t count = CountOf(*poolCollection_);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::unique_ptr<IisElement> pool = Item(*poolCollection_, i);
    if (pool && Text(*pool, u"name") == wanted) {
      return pool;
    }
  }
  return nullptr;
}

bool IisWebsite::StopAppPool(std::string_view name) {
  const std::unique_ptr<IisElement> pool = PoolNamed(name);
  // A pool that is not running holds no module.
  if (!pool || Text(*pool, kPoolState) != kPoolStarted || !RunMethod(*pool, u"Stop")) {
    return false;
  }
  for (int poll = 0; poll < kPoolStopPolls; ++poll) {
    if (Text(*pool, kPoolState) == kPoolStopped) {
      WriteLog(run_, LogTag::server, kStoppedPool + std::string(name));
      return true;
    }
    run_.machine.runtime.Pause(kPoolStopPollMs);
  }
  // Still stopping: the modules it holds are written beside and put in place at the next restart.
  WriteLog(run_, LogTag::server, kPoolNotStopped + std::string(name));
  return true;
}

void IisWebsite::StartAppPool(std::string_view name) {
  const std::unique_ptr<IisElement> pool = PoolNamed(name);
  // Only a pool that was stopped (or is still stopping) is started: one that runs, or that never ran, is
  // left as it is.
  const std::u16string poolState = pool ? Text(*pool, kPoolState).value_or(u"") : std::u16string();
  if ((poolState == kPoolStopped || poolState == kPoolStopping) && RunMethod(*pool, u"Start")) {
    WriteLog(run_, LogTag::server, kStartedPool + std::string(name));
  }
}
