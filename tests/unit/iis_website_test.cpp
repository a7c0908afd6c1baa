#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "setup_world.h"
#include "steps/iis/iis_element_copy.h"
#include "steps/undo/product_removal.h"

namespace {

constexpr char kLogPath[] = "C:\\Halvorn NembricAI  Setup v10.1.3.Log";
constexpr char16_t kSites[] = u"system.applicationHost/sites";
constexpr char16_t kPools[] = u"system.applicationHost/applicationPools";
constexpr char kConfiguration[] = "c:\\program Files\\NembricIS\\nembricis.cfg";
constexpr const char* kModules[] = {"HNembricAI.dll", "HNb10Cml.dll", "HNb10Cmn.dll", "HNb10Ntx.dll",
                                    "Hv10si.dll",     "Hv10ci.dll",   "Hv10math.dll", "HNb10lzma.dll"};

// A server machine with IIS: the server files in place and the default site on port 80.
struct IisWorld : SetupWorld {
  explicit IisWorld(std::int32_t port = 80) {
    state.startDirectory = "C:\\";
    state.choices.serverDirectory = "C:\\HNembricAI\\";
    state.choices.port = port;
    state.progressTotal = 39;
    state.steps.website = 10;
    for (const char* module : kModules) {
      fake.files.SetContent(std::string("C:\\HNembricAI\\") + module, "x");
    }
    AddSite(u"Default Web Site", u"1", {{u"http", u"*:80:"}});
  }
  std::shared_ptr<FakeIis::Node> AddSite(
      const std::u16string& name, const std::u16string& id,
      const std::vector<std::pair<std::u16string, std::u16string>>& bindings) {
    return fake.iis.AddSite(name, id, bindings);
  }
  std::string Log() { return fake.files.Content(kLogPath).value_or(""); }
  IisWebsite& website = steps.server.website;
};

std::string Expected(const char* name) {
  std::ifstream file(std::string(IIS_EXPECTED_DIR) + "/" + name);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

TEST(InstallWebsite, ConfiguresPoolSiteRestrictionAndHandlersInTwoCommits) {
  IisWorld world;
  world.state.choices.port = 8081;
  EXPECT_TRUE(world.steps.server.InstallWebsite().ok());
  ASSERT_EQ(world.fake.iis.commits.size(), 2U);
  EXPECT_EQ(world.fake.iis.commits[0].path, u"MACHINE/WEBROOT/APPHOST");
  EXPECT_EQ(world.fake.iis.commits[1].path, u"MACHINE/WEBROOT/APPHOST/HNembricAI8081");
  EXPECT_EQ(world.fake.iis.commits[1].configuration, Expected("website_8081.config"));
  EXPECT_EQ(world.fake.iis.started, std::vector<std::u16string>{u"HNembricAI8081"});
  EXPECT_EQ(
      world.Log(),
      "Server Setup:Installing Website\r\n"
      "Server Setup:Successfully Created Website:HNembricAI8081  with application pool:HNembricAI8081\r\n");
  EXPECT_DOUBLE_EQ(world.state.progressDone, 10);
  EXPECT_EQ(world.fake.iis.liveReferences, 5);  // the admin manager, its three collections and the pool stay
  // The limit goes as the variant IIS expects.
  bool limitAsUInt32 = false;
  for (const FakeIis::Put& put : world.fake.iis.puts) {
    limitAsUInt32 |= put.property == "maxAllowedContentLength" && std::string(put.type) == "uint32" &&
                     put.value == u"524288000";
  }
  EXPECT_TRUE(limitAsUInt32);
}

// IIS gives new sites large ids: the new site's id goes whole, as an unsigned 32-bit variant, so it can
// neither be cut nor collide with a small one.
TEST(InstallWebsite, TheSiteIdGoesWhole) {
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"1", u"2"}, {u"32767", u"32768"}, {u"1523401245", u"1523401246"}};
  for (const auto& [existing, expected] : cases) {
    IisWorld world;
    world.AddSite(u"Other", existing, {});
    world.state.choices.port = 8081;
    EXPECT_TRUE(world.steps.server.InstallWebsite().ok());
    std::vector<std::pair<std::string, std::u16string>> ids;
    for (const FakeIis::Put& put : world.fake.iis.puts) {
      if (put.property == "Id") {
        ids.emplace_back(put.type, put.value);
      }
    }
    EXPECT_EQ(ids, (std::vector<std::pair<std::string, std::u16string>>{{"uint32", expected}}));
  }
}

// The uninstall takes back what the install made at the server level: the site, the pool, the restriction
// entry, and the port of the site whose binding it moved.
TEST(InstallWebsite, TheUninstallTakesBackSitePoolRestrictionAndMovedBinding) {
  IisWorld world;
  world.fake.files.AddDirectory("C:\\Program Files\\Halvorn\\NembricAI");
  world.AddSite(u"Other", u"7", {{u"http", u"*:9000:"}});
  const auto names = [&world](const char16_t* section) {
    std::vector<std::u16string> found;
    for (const auto& item : world.fake.iis.Section(section, FakeIis::kApphost)->items) {
      const std::u16string* name =
          item->Property(item->tag == "site" || item->tag == "add" ? u"name" : u"path");
      found.push_back(name != nullptr ? *name : u"?");
    }
    return found;
  };
  const auto binding = [&world] {
    const auto site = world.fake.iis.Section(kSites, FakeIis::kApphost)->items.front();
    return *site->Child("bindings")->items.front()->Property(u"bindingInformation");
  };
  world.state.record.recording = true;
  world.state.record.scope = RecordScope::server;
  EXPECT_TRUE(world.steps.server.InstallWebsite().ok());
  EXPECT_EQ(binding(), u"*:8080:");
  EXPECT_EQ(names(kPools), std::vector<std::u16string>{u"HNembricAI"});
  EXPECT_NE(world.fake.iis.commits.back().configuration.find("<location path=\"HNembricAI\">"),
            std::string::npos);
  world.fake.iis.Section(u"system.webServer/defaultDocument", u"MACHINE/WEBROOT/APPHOST/Other")
      ->Set(u"enabled", u"false");

  EXPECT_TRUE(ProductRemoval(world.state).Remove(false, true));
  EXPECT_EQ(names(kSites), (std::vector<std::u16string>{u"Default Web Site", u"Other"}));
  EXPECT_EQ(binding(), u"*:80:");
  EXPECT_TRUE(names(kPools).empty());
  EXPECT_TRUE(world.fake.iis.Section(u"system.webServer/security/isapiCgiRestriction", FakeIis::kApphost)
                  ->items.empty());
  EXPECT_EQ(world.fake.iis.commits.back().path, u"MACHINE/WEBROOT/APPHOST");
  // The handlers and limits set at the site's path go with it; another site's location stays.
  EXPECT_EQ(world.fake.iis.commits.back().configuration.find("<location path=\"HNembricAI\">"),
            std::string::npos);
  EXPECT_NE(world.fake.iis.commits.back().configuration.find("<location path=\"Other\">"), std::string::npos);
  EXPECT_NE(world.Log().find("Server Setup:Removed restriction of C:\\HNembricAI\\HNembricAI.dll\r\n"
                             "Server Setup:Removed Website:HNembricAI\r\n"
                             "Server Setup:Removed application pool:HNembricAI\r\n"
                             "Server Setup:Restored binding *:80: of Default Web Site\r\n"),
            std::string::npos)
      << world.Log();
}

TEST(InstallWebsite, ARunAgainReplacesTheSiteWithItsIdAndUpdatesThePool) {
  IisWorld world(1064);
  world.AddSite(u"Other", u"7", {{u"http", u"*:9000:"}});
  world.AddSite(u"HNembricAI", u"5", {{u"http", u"*:1064:"}});
  world.fake.iis.AddItem(
      kPools, "add", {{u"name", u"HNembricAI"}, {u"managedPipelineMode", u"0"}, {u"queueLength", u"1000"}});
  EXPECT_TRUE(world.steps.server.InstallWebsite().ok());
  const std::string configuration = world.fake.iis.commits.at(0).configuration;
  // One pool, its other settings untouched; the site again with id 5, after the others.
  EXPECT_EQ(configuration.find("<add name=\"HNembricAI\""), configuration.rfind("<add name=\"HNembricAI\""));
  EXPECT_NE(configuration.find("managedPipelineMode=\"1\" queueLength=\"1000\""), std::string::npos);
  EXPECT_NE(configuration.find("<site name=\"HNembricAI\" Id=\"5\""), std::string::npos);
  EXPECT_LT(configuration.find("name=\"Other\""), configuration.find("name=\"HNembricAI\" Id"));
}

TEST(InstallWebsite, NamesSiteAndPoolByPort) {
  for (const auto& [port, name] : {std::pair{80, "HNembricAI"}, std::pair{443, "HNembricAI"},
                                   std::pair{1064, "HNembricAI"}, std::pair{8080, "HNembricAI8080"}}) {
    IisWorld world(port);
    static_cast<void>(world.steps.server.InstallWebsite());
    EXPECT_EQ(world.website.siteName, name) << port;
    EXPECT_EQ(world.website.poolName, name) << port;
  }
}

TEST(InstallWebsite, AccessFailuresAreLoggedAndNothingIsCommitted) {
  const std::vector<std::pair<std::string, const char*>> cases = {
      {"CreateAdminManager",
       "You have not selected IIS management tootls and scripts in IIS Installation. Please add these "
       "features"},
      {"AdminSection system.applicationHost/sites",
       "Could not access Site Section.You must run this App in Administration role while running server "
       "setup."},
      {"Collection sites", "Could not access Site Collection"},
      {"AdminSection system.applicationHost/applicationPools", "Could not access Application Pool Section"},
      {"Collection applicationPools", "Could not get Application Pool Collection"},
      {"AdminSection system.webServer/security/isapiCgiRestriction", "Could not get security section"},
      {"Collection isapiCgiRestriction", "Could not get restriction collection"},
  };
  for (const auto& [call, message] : cases) {
    IisWorld world;
    const std::int32_t code = call == "CreateAdminManager" ? Iis::kClassNotRegistered : -1;
    world.fake.iis.failing[call] = code;
    // The result names the call that failed, its code and the line logged.
    const std::string failedCall = call == "CreateAdminManager"       ? "CoCreateInstance"
                                   : call.starts_with("AdminSection") ? "GetAdminSection"
                                                                      : "get_Collection";
    EXPECT_EQ(world.steps.server.InstallWebsite(), ActionResult::Failed(failedCall, code, message)) << call;
    EXPECT_EQ(world.Log(),
              std::string("Server Setup:Installing Website\r\nServer Setup:") + message + "\r\n");
    EXPECT_TRUE(world.fake.iis.commits.empty()) << call;
  }
  IisWorld other;
  other.fake.iis.failing["CreateAdminManager"] = static_cast<std::int32_t>(0x80070005U);
  static_cast<void>(other.steps.server.InstallWebsite());
  EXPECT_NE(
      other.Log().find("Could not access Writable Admin Manager.Please ensure that you have enabled all "
                       "features in IIS setup in Windows configuration. For updating server setup App "
                       "should be run in  Administration role."),
      std::string::npos);
}

TEST(InstallWebsite, AFailedSiteStepLeavesOnlyTheServerLevelCommit) {
  const std::vector<std::pair<std::string, const char*>> cases = {
      {"AdminSection system.webServer/handlers", "Please check whether ISAPI is installed"},
      {"AdminSection system.webServer/defaultDocument", "Could not get Default Files section"},
      {"Collection files", "Could not get default document collection"},
      {"AdminSection system.webServer/security/requestFiltering", "Could not get requestFiltering section"},
      {"ElementByName requestLimits", "Could not get requestLimits element"},
      {"PropertyByName maxAllowedContentLength", "Could not get maxAllowedContentLength property"},
      {"PropertyByName accessPolicy", "BSTR allocation failed"},
  };
  for (const auto& [call, message] : cases) {
    IisWorld world;
    const std::int32_t code =
        call.ends_with("handlers")
            ? static_cast<std::int32_t>(0x80070021U)
            : (call.ends_with("accessPolicy") ? static_cast<std::int32_t>(0x8007000EU) : -1);
    world.fake.iis.failing[call] = code;
    const ActionResult result = world.steps.server.InstallWebsite();
    EXPECT_EQ(result.code, code) << call;
    EXPECT_EQ(result.line, message) << call;
    EXPECT_EQ(world.fake.iis.commits.size(), 1U) << call;
    EXPECT_TRUE(world.fake.iis.started.empty()) << call;
    EXPECT_TRUE(world.Log().ends_with(std::string("Server Setup:") + message + "\r\n")) << world.Log();
  }
}

TEST(InstallWebsite, AFailedSecondCommitSaysNothingButStartsTheSite) {
  IisWorld world(443);
  world.fake.iis.failing["CommitChanges MACHINE/WEBROOT/APPHOST/HNembricAI"] = -1;
  EXPECT_TRUE(world.steps.server.InstallWebsite().ok());
  EXPECT_EQ(world.Log(), "Server Setup:Installing Website\r\n");
  EXPECT_EQ(world.fake.iis.started, std::vector<std::u16string>{u"HNembricAI"});
  EXPECT_DOUBLE_EQ(world.state.progressDone, 0);
}

// Without its first commit there is no site: the website fails, with a line, and nothing is started.
TEST(InstallWebsite, AFailedFirstCommitFailsTheWebsite) {
  IisWorld world(443);
  world.fake.iis.failing["CommitChanges"] = -1;
  EXPECT_EQ(
      world.steps.server.InstallWebsite(),
      ActionResult::Failed("CommitChanges", -1, "Could not save the Website configuration (0xFFFFFFFF)"));
  EXPECT_EQ(world.Log(),
            "Server Setup:Installing Website\r\nServer Setup:Could not save the Website configuration "
            "(0xFFFFFFFF)\r\n");
  EXPECT_TRUE(world.fake.iis.started.empty());
}

TEST(InstallWebsite, AnElementThatCannotBeMadeStopsBeforeAnyCommit) {
  for (const char* call : {"CreateNewElement site", "CreateNewElement add", "ChildElements site"}) {
    IisWorld world(8080);
    world.fake.iis.failing[call] = -1;
    EXPECT_FALSE(world.steps.server.InstallWebsite().ok()) << call;
    EXPECT_TRUE(world.fake.iis.commits.empty()) << call;
    EXPECT_NE(world.Log().find("Server Setup:Could not create"), std::string::npos) << world.Log();
  }
}

TEST(InstallWebsite, Port1465WritesTheInformationServerFileOnly) {
  const std::string content = "DOC_ROOT=\r\nPORT=1465\r\nENABLE_ISAPI=yes\r\n";
  struct Case {
    bool folder;
    std::optional<std::size_t> freeBytes;
    ActionResult result;
  };
  for (const Case& c : {Case{true, std::nullopt, ActionResult::Done()},
                        Case{false, std::nullopt, ActionResult::Failed("CreateFile", 0)},
                        Case{true, 10, ActionResult::Failed("WriteFile", 10)}}) {
    IisWorld world(1465);
    world.AddSite(u"Nembric IS", u"2", {{u"http", u"*:1465:"}});
    if (c.folder) {
      world.fake.files.SetContent(kConfiguration, "an older configuration, longer than the new one");
    }
    world.fake.files.freeBytes = c.freeBytes;
    EXPECT_EQ(world.steps.server.InstallWebsite(), c.result);
    if (c.result.ok()) {
      EXPECT_EQ(world.fake.files.Content(kConfiguration), content);
    }
    EXPECT_TRUE(world.fake.iis.commits.empty());
    EXPECT_EQ(
        world.Log(),
        "Server Setup:Installing Website\r\nServer Setup:1465 is already in use on Nembric ISDo you want "
        "to continue? \r\n");
  }
}

TEST(FindSite, GivesTheNextIdOrTheIdOfTheSiteItRemoves) {
  struct Case {
    std::vector<std::pair<std::u16string, std::u16string>> sites;
    const char* name;
    bool remove;
    bool found;
    std::int32_t nextSiteId;
    std::size_t sitesLeft;
  };
  const std::vector<Case> cases = {
      {{}, "HNembricAI", true, false, 1, 0},
      {{{u"A", u"1"}, {u"B", u"5"}, {u"C", u"3"}}, "HNembricAI", true, false, 6, 3},
      {{{u"A", u"1"}, {u"HNembricAI", u"5"}, {u"C", u"3"}}, "HNembricAI", true, false, 5, 2},
      {{{u"A", u"4"}, {u"HNembricAI", u"5"}}, "HNembricAI", false, true, 4, 2},
      {{{u"hnembricai", u"2"}, {u"X", u"abc"}}, "HNembricAI", true, false, 3, 2},
  };
  for (const Case& c : cases) {
    IisWorld world;
    world.fake.iis.Section(kSites, FakeIis::kApphost)->items.clear();
    for (const auto& [name, id] : c.sites) {
      world.AddSite(name, id, {});
    }
    ASSERT_TRUE(world.website.Open());
    EXPECT_EQ(world.website.FindSite(c.name, c.remove), c.found);
    EXPECT_EQ(world.website.nextSiteId, c.nextSiteId);
    EXPECT_EQ(world.fake.iis.Section(kSites, FakeIis::kApphost)->items.size(), c.sitesLeft);
  }
}

TEST(BindingPort, IsTheFieldBetweenTheLastTwoColons) {
  const std::vector<std::pair<const char16_t*, std::optional<std::int32_t>>> cases = {
      {u"*:80:", 80},           {u"*:80:www.halvorn.example", 80},
      {u"192.168.1.5:80:", 80}, {u"[fe80::1:2]:8080:host", 8080},
      {u"10.0.0.80:443:", 443}, {u"*:http:", std::nullopt},
      {u"80", std::nullopt},    {u"", std::nullopt},
  };
  for (const auto& [information, port] : cases) {
    EXPECT_EQ(BindingPort(information), port) << std::string(information, information + 1);
  }
}

TEST(PortConflict, TheBindingOnThePortMovesToAFreePortAndSaysSo) {
  struct Case {
    std::int32_t port;
    std::vector<std::pair<std::u16string, std::u16string>> bindings;
    const char* warning;
    const char* moved;
    std::vector<std::u16string> after;
  };
  const std::vector<Case> cases = {
      {80,
       {{u"http", u"*:80:"}},
       "80 is already in use on ShopDo you want to continue? ",
       "80 is moved to 8080 on Shop",
       {u"*:8080:"}},
      // The conflicting binding is the second one: it moves, with its address and host; the first stays.
      {80,
       {{u"https", u"*:443:"}, {u"http", u"192.168.1.5:80:shop.example"}},
       "80 is already in use on ShopDo you want to continue? ",
       "80 is moved to 8080 on Shop",
       {u"*:443:", u"192.168.1.5:8080:shop.example"}},
      // The chosen port is 8080 itself: the other site goes to the first port nobody binds.
      {8080,
       {{u"http", u"*:8080:"}, {u"http", u"*:8081:"}},
       "8080 is already in use on ShopDo you want to continue? ",
       "8080 is moved to 8082 on Shop",
       {u"*:8082:", u"*:8081:"}},
      // An address holding the port's digits is no conflict.
      {80, {{u"http", u"10.0.0.80:9000:"}}, nullptr, nullptr, {u"10.0.0.80:9000:"}},
  };
  for (const Case& c : cases) {
    IisWorld world(c.port);
    world.fake.iis.Section(kSites, FakeIis::kApphost)->items.clear();
    auto shop = world.AddSite(u"Shop", u"1", c.bindings);
    static_cast<void>(world.steps.server.InstallWebsite());
    const std::string log = world.Log();
    EXPECT_EQ(log.find(c.warning != nullptr ? c.warning : "is already in use") != std::string::npos,
              c.warning != nullptr)
        << log;
    if (c.moved != nullptr) {
      EXPECT_NE(log.find(std::string("Server Setup:") + c.moved + "\r\n"), std::string::npos) << log;
    }
    std::vector<std::u16string> after;
    for (const auto& binding : shop->Child("bindings")->items) {
      after.push_back(*binding->Property(u"bindingInformation"));
    }
    EXPECT_EQ(after, c.after);
  }
}

}  // namespace

// The record keeps a replaced site as text: it reads back as the same element, and a text that is not one
// (from a damaged or foreign record) is refused whole.
TEST(ElementCopyText, ReadsBackWhatItWroteAndRefusesAnythingElse) {
  const IisElementCopy site{
      u"site",
      {{u"name", std::u16string(u"Old, \"site\"\t\u00e9")},
       {u"id", std::uint32_t{7}},
       {u"serverAutoStart", false},
       {u"maxUrlSegments", std::int64_t{-1}}},
      {{u"limits", {{u"maxBandwidth", std::uint64_t{65536}}}, {}, {}, {}}},
      {{u"application",
        {{u"path", std::u16string(u"/")}},
        {},
        {{u"virtualDirectory", {{u"path", std::u16string(u"/")}}, {}, {}, {u"password"}}},
        {}}},
      {}};
  const std::string text = ElementCopyText(site);
  EXPECT_EQ(WithheldSecrets(site), std::vector<std::u16string>{u"virtualDirectory / / password"});
  EXPECT_EQ(text.find_first_of("\t\r\n "), std::string::npos) << text;
  EXPECT_EQ(ParseElementCopyText(text), site);
  for (const std::string& damaged : std::vector<std::string>{
           "", text.substr(0, text.size() - 2), text + ",e0061,.", "c0061,.", "e00G1,.", "e0061,px=b:2,.",
           "e0061,p0062=z:1,.", "e0061,.,.", "e0061,,.", "e0061,e006"}) {
    EXPECT_FALSE(ParseElementCopyText(damaged)) << damaged;
  }
  std::string deep;
  for (int i = 0; i < 40; ++i) {
    deep += "e0061,";
  }
  for (int i = 0; i < 40; ++i) {
    deep += i == 39 ? "." : ".,";
  }
  EXPECT_FALSE(ParseElementCopyText(deep));
}

// Beside the log, the administrator reads what the installation changed in IIS, before and after, and
// whether each configuration path was committed.
TEST(InstallWebsite, TheChangeReportSaysWhatChangedAndWhetherItWasCommitted) {
  const std::string title = "What the setup changed in the IIS configuration (before -> after)\r\n\r\n";
  const std::string server =
      "  binding of site \"Default Web Site\": bindingInformation=\"*:80:\" -> "
      "bindingInformation=\"*:8080:\"\r\n"
      "  application pool \"HNembricAI\": autoStart=\"\", managedPipelineMode=\"0\", "
      "enable32BitAppOnWin64=\"\", processModel/identityType=\"\", failure/rapidFailProtection=\"\" -> "
      "autoStart=\"true\", managedPipelineMode=\"1\", enable32BitAppOnWin64=\"false\", "
      "processModel/identityType=\"0\", failure/rapidFailProtection=\"false\"\r\n"
      "  site \"HNembricAI\": id=\"5\" (a site of the same name, replaced) -> id=\"5\" protocol=\"http\" "
      "bindingInformation=\"*:80:\" applicationPool=\"HNembricAI\" physicalPath=\"C:\\HNembricAI\\\"\r\n"
      "  isapiCgiRestriction: (none) -> path=\"C:\\HNembricAI\\HNembricAI.dll\" allowed=\"true\" "
      "description=\"Halvorn NembricApp v10.1\"\r\n\r\n";
  const std::string site =
      "  handlers accessPolicy: accessPolicy=\"\" -> accessPolicy=\"Read,Write,Script,Execute\"\r\n"
      "  handlers: no entries -> 2 entries: \"Halvorn NembricApp v10.1\", \"StaticFile\"\r\n"
      "  defaultDocument: enabled=\"\" files: no entries -> enabled=\"true\" files: 1 entry: "
      "\"HNembricAI.dll\"\r\n"
      "  requestFiltering/requestLimits: maxAllowedContentLength=\"\" -> "
      "maxAllowedContentLength=\"524288000\"\r\n";
  const std::string notCommitted = ": not committed (0xffffffff), so none of these changes was made\r\n";
  const std::string stopped =
      ": the installation stopped before the commit, so none of these changes was made\r\n";
  // The report, piece by piece after the title.
  struct Case {
    const char* failing;
    std::vector<std::string> report;
  };
  for (const Case& c : std::vector<Case>{
           {"",
            {"MACHINE/WEBROOT/APPHOST: committed\r\n", server,
             "MACHINE/WEBROOT/APPHOST/HNembricAI: committed\r\n", site}},
           {"CommitChanges", {"MACHINE/WEBROOT/APPHOST", notCommitted, server.substr(0, server.size() - 2)}},
           {"CreateNewElement site",
            {"MACHINE/WEBROOT/APPHOST", stopped, server.substr(0, server.find("  site"))}},
           {"AdminSection system.applicationHost/sites",
            {"No change was made to the IIS configuration.\r\n"}},
       }) {
    std::string expected = title;
    for (const std::string& part : c.report) {
      expected += part;
    }
    IisWorld world;
    world.AddSite(u"HNembricAI", u"5", {{u"http", u"*:80:"}});
    world.fake.iis.AddItem(kPools, "add", {{u"name", u"HNembricAI"}, {u"managedPipelineMode", u"0"}});
    world.fake.files.SetContent("C:\\NembricSetup IIS changes.log", "the report of an earlier run");
    if (*c.failing != '\0') {
      world.fake.iis.failing[c.failing] = -1;
    }
    static_cast<void>(world.steps.server.InstallWebsite());
    EXPECT_EQ(world.fake.files.Content("C:\\NembricSetup IIS changes.log"), expected) << c.failing;
  }
}
