#include <gtest/gtest.h>

#include <algorithm>

#include "dialog_test_support.h"
#include "plan/setup_plan.h"
#include "run/maintenance.h"
#include "test_cabinets.h"

namespace {

constexpr char kLogPath[] = "C:\\Halvorn NembricAI  Setup v10.1.3.Log";
constexpr char kServer[] = "C:\\HNembricAI\\";
constexpr char kFeatures[] =
    "IIS-ApplicationDevelopment;IIS-CommonHttpFeatures;IIS-DefaultDocument;IIS-ISAPIExtensions;"
    "IIS-ISAPIFilter;IIS-WebServerManagementTools;IIS-ManagementConsole;IIS-NetFxExtensibility;"
    "IIS-RequestFiltering;IIS-Security;IIS-StaticContent;IIS-WebServer;IIS-WebServerRole;IIS-ASPNET45;"
    "IIS-NetFxExtensibility45";
constexpr char kConfigured[] = "Server Setup:Configured IIS for use with Halvorn Nembric 10.0\r\n";
constexpr char kNotConfigured[] = "Server Setup:Could not configure IIS. Please do it manually\r\n";

// A machine with the download server of the whole server package set: the server cabinets hold
// readme.txt and bin\tool.dll, the box holds folders two levels deep.
struct ServerWorld : DialogFixture {
  ServerWorld() : DialogFixture(RunMode::install) {
    program.reporter.dialogWindow = window;
    state.httpSession = fake.http.OpenSession(u"test", Http::kAccessNoProxy, std::nullopt, std::nullopt);
    state.downloadHost = "localhost";
    state.progressTotal = 40;
    state.steps.serverDownload = 10;
    state.steps.serverExtract = 5;
    state.steps.sqlDownload = 15;
    state.steps.website = 10;
    Choose(SetupType::server, BitSize::x64, Edition::essential, 80);
    for (const char* cabinet :
         {"HNembricAI1.cab", "HNembricAI2.cab", "HNembricAI3.cab", "HNembricAI4.cab", "HNembricAI5.cab",
          "Nembric10App.cab", "Nembric10App32.cab", "NembricAiApp.cab"}) {
      fake.http.Serve(cabinet, FakeCrypto::Signed(ReadCabinet("plain.cab")));
    }
    fake.http.Serve("HNbx.cab", FakeCrypto::Signed(ReadCabinet("nested.cab")));
    for (const char* installer :
         {"vcredist_x64.exe", "SQLEXPR_x64_ENU.exe", "NembricISSetup.msi", "sqlncli.msi"}) {
      fake.http.Serve(installer, FakeCrypto::Signed(std::string("MZ\0\0", 4)));
    }
    fake.processes.AddProgram("C:\\HNembricAI\\Update\\vcredist_x64.exe", {});
    // The information server's package makes its folder, where the setup writes its configuration.
    FakeProcesses::Program msiexec;
    msiexec.effect = [this] { fake.files.AddDirectory("C:\\Program Files\\NembricIS"); };
    fake.processes.AddProgram("C:\\Windows\\system32\\msiexec.exe", msiexec);
  }
  void Choose(SetupType type, BitSize bitSize, Edition edition, std::int32_t port) {
    state.choices.setupType = type;
    state.choices.bitSize = bitSize;
    state.choices.serverDirectory = "C:\\HNembricAI";
    state.choices.edition = edition;
    state.choices.port = port;
  }
  std::vector<std::string> StatusTexts() {
    std::vector<std::string> texts;
    for (const auto& [id, text] : fake.dialogs.controlTexts) {
      if (id == IDC_STATUS_LINE) {
        texts.push_back(text);
      }
    }
    return texts;
  }
  void AddRuntime() {
    fake.registry.SetString("HKLM\\SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64", "Version",
                            "v12");
    RegistryKey key = RegistryKey::none;
    fake.registry.CreateKey(RegistryKey::localMachine,
                            "SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64",
                            Registry::kWrite | Registry::kView64, key);
    fake.registry.SetValue(key, "Installed", {Registry::kTypeDword, std::string("\1\0\0\0", 4)});
    fake.registry.CloseKey(key);
  }
  std::vector<std::string> Requested() {
    std::vector<std::string> names;
    for (const auto& request : fake.http.PackageRequests()) {
      names.emplace_back(request.objectPath.begin() + 10, request.objectPath.end());  // after "downloads/"
    }
    return names;
  }
  std::optional<std::string> File(const std::string& name) { return fake.files.Content(kServer + name); }
  std::string Log() { return fake.files.Content(kLogPath).value_or(""); }
};

TEST(EnableIisFeatures, AsksDismForAllFeaturesInOneRequestAndLogsTheOutcome) {
  const std::string enable = std::string("DismEnableFeature 7 ") + kFeatures + " limitAccess=0 enableAll=1";
  struct Case {
    const char* failing;
    std::int32_t status;
    std::vector<std::string> calls;
    const char* line;
    bool restart;
  };
  const std::string open = "DismOpenSession DISM_{53BFAE52-B167-4E2F-A258-0A37B57FF845}";
  const std::vector<Case> cases = {
      {"", 0, {"DismInitialize 2", open, enable, "DismCloseSession 7", "DismShutdown"}, kConfigured, false},
      // DISM's own log asked for, and a restart it needs is kept for the end of the run.
      {"DismEnableFeature",
       3010,
       {"DismInitialize 2", open, enable, "DismCloseSession 7", "DismShutdown"},
       kConfigured,
       true},
      {"DismInitialize",
       -2147024770,
       {"DismInitialize 2", "DismCloseSession 0", "DismShutdown"},
       kNotConfigured,
       false},
      {"DismOpenSession",
       -2147024891,
       {"DismInitialize 2", open, "DismCloseSession 0", "DismShutdown"},
       kNotConfigured,
       false},
      {"DismEnableFeature",
       -2146498548,
       {"DismInitialize 2", open, enable, "DismCloseSession 7", "DismShutdown"},
       kNotConfigured,
       false},
      {"DismShutdown",
       -1,
       {"DismInitialize 2", open, enable, "DismCloseSession 7", "DismShutdown"},
       kNotConfigured,
       false},
  };
  for (const Case& c : cases) {
    ServerWorld world;
    world.fake.features.statuses[c.failing] = c.status;
    world.fake.features.progressReports = {{0, 8}, {3, 8}, {8, 8}};
    world.steps.server.EnableIisFeatures();
    EXPECT_EQ(world.fake.features.calls, c.calls) << c.failing;
    EXPECT_EQ(world.Log(), c.line) << c.failing;
    EXPECT_EQ(world.state.restartNeeded, c.restart) << c.failing;
  }
  ServerWorld world;
  world.fake.features.progressReports = {{3, 8}, {8, 8}};
  world.steps.server.EnableIisFeatures();
  EXPECT_EQ(std::string(kFeatures).size(), 301U);
  std::vector<std::string> texts = world.StatusTexts();
  std::erase_if(texts, [](const std::string& text) { return !text.starts_with("Updating IIS"); });
  EXPECT_EQ(texts, (std::vector<std::string>{"Updating IIS Features:37 perc completed",
                                             "Updating IIS Features:100 perc completed"}));
  EXPECT_EQ(world.state.featureProgressPercent, 100);
}

// The packages of a server update follow the edition, the client build, the port, the SQL Server choice,
// the native client and the runtime already there.
TEST(UpdateServer, FetchesThePackagesOfTheChoices) {
  const std::vector<std::string> base = {"HNembricAI1.cab",  "HNembricAI2.cab",    "HNembricAI3.cab",
                                         "Nembric10App.cab", "Nembric10App32.cab", "NembricAiApp.cab",
                                         "HNbx.cab"};
  auto with = [&base](std::vector<std::string> before, std::vector<std::string> inside,
                      std::vector<std::string> after) {
    std::vector<std::string> names = std::move(before);
    names.insert(names.end(), base.begin(), base.begin() + 3);
    names.insert(names.end(), inside.begin(), inside.end());
    names.insert(names.end(), base.begin() + 3, base.end());
    names.insert(names.end(), after.begin(), after.end());
    return names;
  };
  struct Case {
    const char* what;
    SetupType type;
    BitSize bitSize;
    Edition edition;
    std::int32_t port;
    bool sql;
    bool nativeClientMissing;
    bool runtimePresent;
    std::vector<std::string> requested;
  };
  const std::vector<Case> cases = {
      {"server, 64 Bit", SetupType::server, BitSize::x64, Edition::essential, 80, false, false, false,
       with({"vcredist_x64.exe"}, {}, {})},
      {"runtime present", SetupType::server, BitSize::x64, Edition::essential, 80, false, false, true,
       with({}, {}, {})},
      {"both with the 64-bit client", SetupType::both, BitSize::x64, Edition::essential, 80, false, false,
       false, with({}, {}, {})},
      {"both with the AI client", SetupType::both, BitSize::aiClient, Edition::essential, 80, false, false,
       false, with({"vcredist_x64.exe"}, {}, {})},
      {"Enterprise", SetupType::server, BitSize::x64, Edition::enterprise, 80, false, false, true,
       with({}, {"HNembricAI4.cab", "HNembricAI5.cab"}, {})},
      {"port 1465, SQL Server and the native client", SetupType::server, BitSize::x32, Edition::team, 1465,
       true, true, true, with({}, {}, {"SQLEXPR_x64_ENU.exe", "NembricISSetup.msi", "sqlncli.msi"})},
  };
  for (const Case& c : cases) {
    ServerWorld world;
    world.Choose(c.type, c.bitSize, c.edition, c.port);
    world.state.installSqlExpress = c.sql;
    world.state.nativeClientMissing = c.nativeClientMissing;
    if (c.runtimePresent) {
      world.AddRuntime();
    }
    EXPECT_TRUE(world.steps.server.UpdateServer(
        PlanServerPackages(world.state.choices, world.state.installSqlExpress,
                           world.state.nativeClientMissing, world.state.steps)))
        << c.what;
    EXPECT_EQ(world.Requested(), c.requested) << c.what;
    // Download, SQL Server download, extraction and website (the information server's port has none).
    EXPECT_DOUBLE_EQ(world.state.progressDone, 15 + (c.sql ? 15 : 0) + (c.port == 1465 ? 0 : 10)) << c.what;
  }
}

TEST(UpdateServer, ReplacesTheModulesAndExtractsTheBoxOnlyIntoANewServer) {
  struct Case {
    const char* what;
    RunMode mode;
    bool installed;  // the server files are found where the server goes
    bool boxExtracted;
  };
  for (const Case& c :
       {Case{"install", RunMode::install, false, true}, Case{"modify", RunMode::modify, false, false},
        Case{"install over an installed server", RunMode::install, true, false}}) {
    ServerWorld world;
    world.AddRuntime();
    world.steps.downloadStatus.companyKeyName = "Halvorn";
    world.steps.downloadStatus.productKeyName = "NembricAI";
    world.fake.registry.AddKey("HKLM\\Software");
    world.state.runMode = c.mode;
    world.fake.files.SetContent("C:\\HNembricAI\\old.dll", "old module");
    if (c.installed) {
      world.fake.files.SetContent("C:\\HNembricAI\\HNembricAI.dll", "installed");
    }
    EXPECT_TRUE(world.steps.server.UpdateServer(
        PlanServerPackages(world.state.choices, world.state.installSqlExpress,
                           world.state.nativeClientMissing, world.state.steps)))
        << c.what;
    EXPECT_EQ(world.state.runMode, c.mode) << c.what;
    EXPECT_FALSE(world.File("old.dll")) << c.what;
    EXPECT_FALSE(world.File("HNembricAI.dll")) << c.what;  // an installed module is gone with the DLLs
    EXPECT_EQ(world.File("bin\\tool.dll"), "MZ tool library stand-in\r\n") << c.what;
    EXPECT_EQ(world.File("Data\\Forms\\main.frm").has_value(), c.boxExtracted) << c.what;
    // The test extractions stay in the update folder, without their DLLs; the box's folders are made there.
    EXPECT_TRUE(world.File("Update\\Data\\Forms\\main.frm")) << c.what;
    EXPECT_FALSE(world.File("Update\\top.dll")) << c.what;
    EXPECT_TRUE(world.File("cab\\NembricAiApp.cab")) << c.what;
    std::string status;
    EXPECT_TRUE(world.steps.downloadStatus.ReadDownloadStatus(status));
    EXPECT_EQ(status, "0") << c.what;  // after the packages' own records
    const std::vector<std::string> texts = world.StatusTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Downloaded and extracted required cabs "), texts.end());
    const std::string log = world.Log();
    EXPECT_TRUE(log.starts_with("Server Setup:Updating Server Setup Begin\r\n")) << c.what;
    EXPECT_NE(log.find(std::string(kConfigured) + "Server Setup:Installing Website\r\n"), std::string::npos)
        << c.what;
    EXPECT_TRUE(log.ends_with("Server Setup:Updated Server Software\r\n")) << c.what;
  }
}

// The website's worker process holds the server modules loaded while its pool runs: the pool stops for the
// update and starts again after it. A pool that does not stop in time leaves the modules held: each is
// written beside and put in place when Windows restarts, and the run asks for that restart.
TEST(UpdateServer, ModulesInUseAreReplacedWithThePoolStoppedOrAtTheNextRestart) {
  for (const bool poolStops : {true, false}) {
    ServerWorld world;
    world.AddRuntime();
    world.fake.iis.AddItem(u"system.applicationHost/applicationPools", "add",
                           {{u"name", u"HNembricAI"}, {u"state", u"Started"}});
    const std::string module = "C:\\HNembricAI\\bin\\tool.dll";
    world.fake.files.SetContent(module, "old module");
    world.fake.files.heldOpen.insert(module);
    world.fake.iis.poolsHangOnStop = !poolStops;
    world.fake.files.AddDirectory("C:\\Program Files\\Halvorn\\NembricAI");
    world.state.record.BeginRun(kInstallMode, false, true);
    world.state.record.scope = RecordScope::server;
    world.fake.iis.onPoolState = [&](const std::u16string& pool, bool running) {
      ASSERT_EQ(pool, u"HNembricAI");
      running ? static_cast<void>(world.fake.files.heldOpen.insert(module))
              : world.fake.files.heldOpen.clear();
    };
    EXPECT_TRUE(world.steps.server.UpdateServer(
        PlanServerPackages(world.state.choices, world.state.installSqlExpress,
                           world.state.nativeClientMissing, world.state.steps)));
    EXPECT_FALSE(world.state.failed.Any()) << poolStops;
    EXPECT_EQ(world.state.restartNeeded, !poolStops);
    const std::string log = world.Log();
    if (poolStops) {
      EXPECT_EQ(world.File("bin\\tool.dll"), "MZ tool library stand-in\r\n");
      EXPECT_TRUE(world.fake.files.restartReplacements.empty());
      EXPECT_EQ(world.fake.iis.poolCalls,
                (std::vector<std::u16string>{u"Stop HNembricAI", u"Start HNembricAI"}));
      EXPECT_NE(log.find("Server Setup:Stopped application pool:HNembricAI\r\n"), std::string::npos) << log;
      EXPECT_NE(log.find("Server Setup:Started application pool:HNembricAI\r\n"), std::string::npos) << log;
    } else {
      EXPECT_EQ(world.File("bin\\tool.dll"), "old module");
      EXPECT_EQ(world.File("bin\\tool.dll.new"), "MZ tool library stand-in\r\n");
      // Each server cabinet of this test holds the module.
      ASSERT_FALSE(world.fake.files.restartReplacements.empty());
      for (const auto& [source, target] : world.fake.files.restartReplacements) {
        EXPECT_TRUE(target.ends_with("bin\\tool.dll")) << target;
        EXPECT_EQ(source, target + ".new");
      }
      EXPECT_NE(log.find("Server Setup:In use, replaced when Windows restarts: "), std::string::npos) << log;
      // The file beside is the run's from its first byte: a run cut off while writing it leaves it named.
      const std::string record = world.fake.files.Content(kInstallRecordPath).value_or("");
      EXPECT_NE(record.find("server\tfile\tC:\\HNembricAI\\bin\\tool.dll.new\t-\t-\r\n"), std::string::npos)
          << record;
    }
  }
}

// A module that cannot be written for another reason than a process holding it (denied, read-only) is no
// module in use: it is not put off to the next restart, where its replacement would fail unseen, and the
// server's update fails now.
TEST(UpdateServer, AModuleThatIsDeniedIsAFailureNotAReplacementAtRestart) {
  ServerWorld world;
  world.AddRuntime();
  const std::string module = "C:\\HNembricAI\\bin\\tool.dll";
  world.fake.files.SetContent(module, "old module");
  world.fake.files.refusedPaths.insert(module);
  world.state.record.scope = RecordScope::server;
  EXPECT_FALSE(world.steps.server.UpdateServer(
      PlanServerPackages(world.state.choices, world.state.installSqlExpress, world.state.nativeClientMissing,
                         world.state.steps)));
  EXPECT_TRUE(world.state.failed.server);
  EXPECT_FALSE(world.state.restartNeeded);
  EXPECT_TRUE(world.fake.files.restartReplacements.empty());
  EXPECT_FALSE(world.fake.files.Content(module + ".new").has_value());
}

TEST(UpdateServer, WithoutItsUpdateFolderOrARequestTheServerIsNotInPlace) {
  ServerWorld folderless;
  folderless.state.choices.serverDirectory = "Q:\\HNembricAI";
  EXPECT_FALSE(folderless.steps.server.UpdateServer(
      PlanServerPackages(folderless.state.choices, folderless.state.installSqlExpress,
                         folderless.state.nativeClientMissing, folderless.state.steps)));
  EXPECT_TRUE(folderless.fake.http.requests.empty());
  EXPECT_EQ(folderless.Log(),
            "Server Setup:Updating Server Setup Begin\r\n"
            "Server Setup:Could not create update directory. Udpate cannot proceed\r\n");

  ServerWorld unopenable;
  unopenable.AddRuntime();
  unopenable.fake.http.unopenablePaths.insert("downloads/NembricAiApp.cab");
  unopenable.fake.files.SetContent("C:\\HNembricAI\\HNembricAI.dll", "installed");
  unopenable.state.runMode = RunMode::install;
  EXPECT_FALSE(unopenable.steps.server.UpdateServer(
      PlanServerPackages(unopenable.state.choices, unopenable.state.installSqlExpress,
                         unopenable.state.nativeClientMissing, unopenable.state.steps)));
  // The packages after it came in ahead meanwhile; the run takes them back with the server.
  const std::vector<std::string> requested = unopenable.Requested();
  EXPECT_NE(std::find(requested.begin(), requested.end(), "NembricAiApp.cab"), requested.end());
  EXPECT_EQ(unopenable.File("HNembricAI.dll"), "installed");  // nothing replaced
  EXPECT_TRUE(unopenable.fake.features.calls.empty());
  // An update over a server in place that ends early leaves the run an install: the dialog that follows
  // still offers what an install's does.
  EXPECT_EQ(unopenable.state.runMode, RunMode::install);
}

// A repair runs the update again for what the registration recorded: the server's edition and port, the
// client's build. A component that is not registered, or whose record lacks what its update needs, is
// refused with a line that says what is missing; a failure is the failing component's alone.
TEST(RepairProduct, RunsTheUpdateAgainForWhatTheRegistrationRecorded) {
  constexpr char kServerKey[] = "HKLM\\SOFTWARE\\Halvorn\\NembricAI\\Server";
  constexpr char kUninstall[] =
      "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const std::vector<std::string> serverCabinets = {
      "HNembricAI1.cab",  "HNembricAI2.cab",    "HNembricAI3.cab",  "HNembricAI4.cab", "HNembricAI5.cab",
      "Nembric10App.cab", "Nembric10App32.cab", "NembricAiApp.cab", "HNbx.cab"};
  struct Case {
    const char* name;
    bool server;
    bool client;
    const char* clientBuild = "x64";
    const char* edition = "Enterprise";
    const char* port = "8081";
    bool serverEntry = true;
    bool clientEntry = true;
    const char* missing = nullptr;  // a package the download server does not have
    std::vector<std::string> requested{};
    const char* line = nullptr;  // the refusal in the log
    const char* shortfall = "";
  };
  std::vector<std::string> both = serverCabinets;
  both.emplace_back("Nembric10AppSetup.cab");
  const std::vector<Case> cases = {
      {.name = "server", .server = true, .client = false, .requested = serverCabinets},
      {.name = "client", .server = false, .client = true, .requested = {"Nembric10AppSetup.cab"}},
      {.name = "both, a server package missing",
       .server = true,
       .client = true,
       .missing = "HNembricAI1.cab",
       .requested = both,
       .shortfall = "Could not repair Halvorn NembricAI Server. The changes were taken back. Please see the "
                    "setup log"},
      {.name = "no client build",
       .server = false,
       .client = true,
       .clientBuild = nullptr,
       .line = "Client Setup:Client build not recorded: the client is not repaired",
       .shortfall = "Could not repair Nembric Client. Please see the setup log"},
      {.name = "no edition",
       .server = true,
       .client = false,
       .edition = nullptr,
       .line = "Server Setup:Server edition not recorded: the server is not repaired",
       .shortfall = "Could not repair Halvorn NembricAI Server. Please see the setup log"},
      {.name = "no port",
       .server = true,
       .client = false,
       .port = nullptr,
       .line = "Server Setup:Server port not recorded: the server is not repaired",
       .shortfall = "Could not repair Halvorn NembricAI Server. Please see the setup log"},
      {.name = "server never installed",
       .server = true,
       .client = false,
       .serverEntry = false,
       .line = "Server Setup:Server not installed: the server is not repaired",
       .shortfall = "Could not repair Halvorn NembricAI Server. Please see the setup log"},
      {.name = "client never installed",
       .server = false,
       .client = true,
       .clientEntry = false,
       .line = "Client Setup:Client not installed: the client is not repaired",
       .shortfall = "Could not repair Nembric Client. Please see the setup log"},
  };
  for (const Case& c : cases) {
    ServerWorld world;
    world.AddRuntime();
    world.state.choices = {};
    world.state.runMode = RunMode::repair;
    world.fake.http.Serve("Nembric10AppSetup.cab", FakeCrypto::Signed(ReadCabinet("plain.cab")));
    world.fake.files.AddDirectory("C:\\Program Files\\Halvorn\\NembricAI");
    if (c.missing != nullptr) {
      world.fake.http.files.erase(std::string("downloads/") + c.missing);
    }
    // Every client registration writes the server key's install path too.
    world.fake.registry.SetString(kServerKey, "InstallPath", kServer);
    if (c.edition != nullptr) {
      world.fake.registry.SetString(kServerKey, "Edition", c.edition);
    }
    if (c.port != nullptr) {
      world.fake.registry.SetString(kServerKey, "Port", c.port);
    }
    world.fake.registry.SetString("HKCU\\Software\\Halvorn\\Nembric10\\Client", "InstallPath", "C:\\App\\");
    if (c.clientBuild != nullptr) {
      world.fake.registry.SetString("HKCU\\Software\\Halvorn\\Nembric10\\Client", "ClientBuild",
                                    c.clientBuild);
    }
    if (c.serverEntry) {
      world.fake.registry.SetString(std::string(kUninstall) + "NembricServer", "DisplayName",
                                    "Halvorn NembricAI");
    }
    if (c.clientEntry) {
      world.fake.registry.SetString(std::string(kUninstall) + "NembricClient", "DisplayName", "Nembric10App");
    }
    MaintenanceChoice choice;
    choice.action = MaintenanceChoice::Action::repair;
    choice.server = c.server;
    choice.client = c.client;
    const RunEnd end = RunMaintenance(world.state, world.steps, choice);
    EXPECT_STREQ(end.logLine, "Successfully repaired Software") << c.name;
    EXPECT_EQ(end.shortfall, c.shortfall) << c.name;
    EXPECT_EQ(world.Requested(), c.requested) << c.name;
    if (c.line != nullptr) {
      EXPECT_NE(world.Log().find(std::string(c.line) + "\r\n"), std::string::npos) << c.name << world.Log();
      EXPECT_TRUE(world.steps.server.website.siteName.empty()) << c.name;
    }
    // A server whose files are not all in place leaves its website as it is.
    if (c.server && c.line == nullptr) {
      EXPECT_EQ(world.steps.server.website.siteName, c.missing == nullptr ? "HNembricAI8081" : "") << c.name;
    }
    if (c.client && c.line == nullptr) {
      EXPECT_TRUE(world.fake.files.Content("C:\\App\\readme.txt")) << c.name;
    }
    // A server repair that failed part-way is taken back: what it fetched goes again.
    if (c.missing != nullptr) {
      EXPECT_NE(world.Log().find("Server Setup:Removed file C:\\HNembricAI\\Update\\HNembricAI2.cab\r\n"),
                std::string::npos)
          << world.Log();
      EXPECT_FALSE(world.File("Update\\HNembricAI2.cab"));
    }
  }
}

// A run of the server and SQL Server Express: the server registered after its update, SQL Server Express
// installed whatever the update did, a server that failed taken back at the end (the machine holds nothing
// of it), and the end of the run naming what is not in place.
TEST(RunSetup, TheServerStepsRunInOrderAndTheEndNamesWhatWasNotInstalled) {
  constexpr char kEntry[] =
      "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NembricServer";
  struct Case {
    bool serverFails;
    std::uint32_t sqlExit;
    const char* shortfall;
  };
  for (const Case& c :
       {Case{false, 0, nullptr}, Case{false, 3010, nullptr},
        Case{true, 0,
             "Could not install Halvorn NembricAI Server. The changes were taken back. Please see the setup "
             "log"},
        Case{false, 1, "Could not install SQL Server Express. Please see the setup log"},
        Case{true, 0x84B40000,
             "Could not install Halvorn NembricAI Server and SQL Server Express. The changes were taken "
             "back. Please see the setup log"}}) {
    ServerWorld world;
    world.AddRuntime();
    world.fake.files.SetContent("C:\\Setup\\NembricSetup.exe", "MZ setup");
    world.fake.files.drives = {{'C', Files::kDriveFixed}};
    world.fake.files.driveFreeBytes = {{'C', 1ULL << 35U}};
    world.fake.processes.AddProgram("C:\\HNembricAI\\Update\\SQLEXPR_x64_ENU.exe",
                                    {c.sqlExit, nullptr, false, {}});
    if (c.serverFails) {
      world.fake.http.unopenablePaths.insert("downloads/HNbx.cab");
    }
    SetupChoices choices = world.state.choices;
    choices.installSqlServer = true;
    choices.sqlPassword = choices.sqlPasswordAgain = "Pa55word";
    EXPECT_THROW(world.program.RunSetup(choices), ProcessExit);
    const std::string what = std::to_string(c.serverFails) + "/" + std::to_string(c.sqlExit);
    EXPECT_EQ(world.fake.registry.Value(kEntry, "DisplayName").has_value(), !c.serverFails) << what;
    ASSERT_FALSE(world.fake.processes.starts.empty()) << what;
    EXPECT_TRUE(world.fake.processes.starts.back().commandLine.starts_with(
        "\"C:\\HNembricAI\\Update\\SQLEXPR_x64_ENU.exe\"  /QS"))
        << what;
    EXPECT_EQ(world.state.restartNeeded, c.sqlExit == 3010) << what;
    const std::string log = world.Log();
    EXPECT_EQ(log.find("Pa55word"), std::string::npos) << what;
    std::string end;
    if (c.serverFails) {
      // Taken back after the last step, newest change first: the server folder made by the run goes last.
      EXPECT_LT(log.find("SQL Server Install:Installed SQL Server\r\n"),
                log.find("Server Setup:Removed file C:\\HNembricAI\\Update\\HNembricAI1.cab\r\n"))
          << what;
      // With no component left, the setup program's copy goes too.
      end =
          "Server Setup:Removed folder C:\\HNembricAI\r\n"
          "User Interface:Removed registry value "
          "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NembricSetup\\TypesSupported\r\n"
          "User Interface:Removed registry value "
          "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NembricSetup\\EventMessageFile\r"
          "\n"
          "User Interface:Removed registry key "
          "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NembricSetup\r\n"
          "User Interface:Removed C:\\Program Files\\Halvorn\\NembricAI\\NembricSetup.exe\r\n"
          "User Interface:Removed folder C:\\Program Files\\Halvorn\\NembricAI\r\n"
          "User Interface:Removed folder C:\\Program Files\\Halvorn\r\n";
      for (const std::string& path : world.fake.files.FilePaths()) {
        EXPECT_FALSE(path.starts_with("c:\\hnembricai")) << what << ": " << path;
      }
      for (const std::string& path : world.fake.files.DirectoryPaths()) {
        EXPECT_FALSE(path.starts_with("c:\\hnembricai")) << what << ": " << path;
      }
    } else {
      end = "SQL Server Install:Installed SQL Server\r\n";
    }
    if (c.sqlExit == 3010) {
      end += "User Interface:An installer asked for a restart of Windows to complete the setup\r\n";
    }
    end += "User Interface:Successfully updated Software\r\n";
    std::string box = "Successfuly completed Setup";
    if (c.shortfall != nullptr) {
      end += std::string("User Interface:") + c.shortfall + "\r\n";
      box += std::string("\n\n") + c.shortfall;
    }
    EXPECT_TRUE(log.ends_with(end)) << what << "\n"
                                    << log.substr(log.size() - std::min<std::size_t>(log.size(), 400));
    EXPECT_EQ(world.Boxes(), std::vector<std::string>{box}) << what;
    EXPECT_EQ(world.Control(IDC_PROGRESS_BAR).position, 100) << what;
  }
}

// The server is committed with its registration, before SQL Server Express installs (minutes): a cut
// then does not take it back. Its packages and their parts were named before they were fetched.
TEST(RunSetup, TheServerIsCommittedBeforeSqlServerInstalls) {
  ServerWorld world;
  world.AddRuntime();
  world.fake.files.SetContent("C:\\Setup\\NembricSetup.exe", "MZ setup");
  world.fake.files.driveFreeBytes = {{'C', 1ULL << 35U}};
  std::string recordAtSql;
  FakeProcesses::Program sql;
  sql.effect = [&world, &recordAtSql] {
    recordAtSql = world.fake.files.Content(kInstallRecordPath).value_or("");
  };
  world.fake.processes.AddProgram("C:\\HNembricAI\\Update\\SQLEXPR_x64_ENU.exe", sql);
  SetupChoices choices = world.state.choices;
  choices.installSqlServer = true;
  choices.sqlPassword = choices.sqlPasswordAgain = "Pa55word";
  EXPECT_THROW(world.program.RunSetup(choices), ProcessExit);
  ASSERT_FALSE(recordAtSql.empty());
  EXPECT_NE(recordAtSql.find("shared\tcommit\r\nserver\tcommit\r\n"), std::string::npos) << recordAtSql;
  EXPECT_NE(recordAtSql.find("server\tfile\tC:\\HNembricAI\\Update\\HNembricAI1.cab.part\t-\t-\r\n"),
            std::string::npos)
      << recordAtSql;
}

// A server update over an installed server that fails part-way is taken back whole: the modules it
// deleted and the files it replaced get back what they held before the run; what it added goes.
TEST(RunSetup, AFailedServerUpdateOverAnInstalledServerPutsItsFilesBack) {
  ServerWorld world;
  world.AddRuntime();
  world.fake.files.SetContent("C:\\Setup\\NembricSetup.exe", "MZ setup");
  world.fake.files.SetContent("C:\\HNembricAI\\HNembricAI.dll", "the installed module");
  world.fake.files.SetContent("C:\\HNembricAI\\readme.txt", "the installed readme");
  world.fake.http.Serve("HNembricAI3.cab", FakeCrypto::Signed("not a cabinet"));
  EXPECT_THROW(world.program.RunSetup(world.state.choices), ProcessExit);
  EXPECT_EQ(world.File("HNembricAI.dll"), "the installed module");
  EXPECT_EQ(world.File("readme.txt"), "the installed readme");
  EXPECT_FALSE(world.File("bin\\tool.dll"));
  const std::string log = world.Log();
  EXPECT_NE(log.find("Server Setup:Restored file C:\\HNembricAI\\HNembricAI.dll\r\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("Server Setup:Restored file C:\\HNembricAI\\readme.txt\r\n"), std::string::npos);
  EXPECT_TRUE(
      log.ends_with("User Interface:Could not install Halvorn NembricAI Server. The changes were taken "
                    "back. Please see the setup log\r\n"));
  // No copy is left behind.
  for (const std::string& path : world.fake.files.FilePaths()) {
    EXPECT_FALSE(path.starts_with("c:\\program files\\halvorn\\nembricai\\backup")) << path;
  }
}

}  // namespace
