#include "check/preflight.h"

#include <gtest/gtest.h>

#include <functional>

#include "plan/setup_plan.h"
#include "setup_world.h"

namespace {

constexpr char kWindowsKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::uint64_t kGigabyte = std::uint64_t{1} << 30U;

// A Windows Server 2022 machine with room on C:, the host publishing every package of a "Both" install on
// port 80, and IIS with no site on that port.
struct CheckWorld : SetupWorld {
  CheckWorld() {
    state.startDirectory = "C:\\";
    state.downloadHost = "downloads.example";
    state.httpSession = fake.http.OpenSession(u"test", Http::kAccessNoProxy, std::nullopt, std::nullopt);
    choices.setupType = SetupType::both;
    choices.bitSize = BitSize::aiClient;
    choices.clientDirectory = "c:\\NembricAIApp";
    choices.serverDirectory = "C:\\HNembricAI";
    choices.edition = Edition::enterprise;
    choices.port = 80;
    choices.installSqlServer = true;
    const SetupPlan plan = PlanSetup(choices, true, false);
    for (const auto* list : {&plan.clientPackages, &plan.serverPackages}) {
      for (const PlannedPackage& package : *list) {
        fake.http.Serve(package.name, std::string(1000, 'p'));
      }
    }
    SetDword(kWindowsKey, "CurrentMajorVersionNumber", 10);
    fake.registry.SetString(kWindowsKey, "CurrentBuildNumber", "20348");
    fake.registry.SetString(kWindowsKey, "ProductName", "Windows Server 2022 Datacenter");
    fake.registry.SetString("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                            "PROCESSOR_ARCHITECTURE", "AMD64");
    fake.files.driveFreeBytes['C'] = 20 * kGigabyte;
  }
  void SetDword(const std::string& path, const char* name, std::uint32_t value) {
    RegistryKey key = RegistryKey::none;
    ASSERT_EQ(fake.registry.CreateKey(RegistryKey::localMachine, path.substr(5), Registry::kAllAccess, key),
              0);
    std::string bytes;
    for (int i = 0; i < 4; ++i) {
      bytes += static_cast<char>((value >> (8 * i)) & 0xFFU);
    }
    fake.registry.SetValue(key, name, {Registry::kTypeDword, bytes});
    fake.registry.CloseKey(key);
  }
  const CheckLine* Find(const PreflightReport& report, const std::string& name) {
    for (const CheckLine& line : report.lines) {
      if (line.name == name) {
        return &line;
      }
    }
    return nullptr;
  }
  SetupChoices choices;
};

// Each check's verdict and figure on a machine that is ready but for one thing; the other checks stay OK.
TEST(Preflight, EachCheckReportsWhatItFinds) {
  struct Case {
    const char* what;
    std::function<void(CheckWorld&)> arrange;
    const char* name;
    CheckVerdict verdict;
    const char* figure;
    bool anotherSetup = false;
  };
  const std::vector<Case> cases = {
      {"a ready machine", [](CheckWorld&) {}, "Administrator rights", CheckVerdict::ok,
       "the setup runs elevated"},
      {"not elevated", [](CheckWorld& w) { w.fake.runtime.elevated = false; }, "Administrator rights",
       CheckVerdict::fail, "does not run elevated"},
      {"Windows", [](CheckWorld&) {}, "Windows", CheckVerdict::ok,
       "Windows Server 2022 Datacenter 10.0.20348, AMD64"},
      {"Windows 7, which gives its version as text",
       [](CheckWorld& w) {
         RegistryKey key = RegistryKey::none;
         w.fake.registry.OpenKey(RegistryKey::localMachine, std::string(kWindowsKey).substr(5),
                                 Registry::kAllAccess, key);
         w.fake.registry.DeleteValue(key, "CurrentMajorVersionNumber");
         w.fake.registry.CloseKey(key);
         w.fake.registry.SetString(kWindowsKey, "CurrentVersion", "6.1");
         w.fake.registry.SetString(kWindowsKey, "CurrentBuildNumber", "7601");
         w.fake.registry.SetString(kWindowsKey, "ProductName", "Windows 7");
       },
       "Windows", CheckVerdict::warn, "Windows 7 6.1.7601, AMD64: older than Windows 10"},
      {"32-bit Windows",
       [](CheckWorld& w) {
         w.fake.registry.SetString("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                                   "PROCESSOR_ARCHITECTURE", "x86");
       },
       "Windows", CheckVerdict::fail, "x86: a 64-bit Windows (x64) is needed"},
      {"the host", [](CheckWorld&) {}, "Package source", CheckVerdict::ok,
       "https://downloads.example directly, certificate valid: "},
      {"the host down", [](CheckWorld& w) { w.fake.http.serverDown = true; }, "Package source",
       CheckVerdict::fail, "https://downloads.example cannot be reached: WinHTTP error 12029"},
      {"a proxy that asks for a name and password",
       [](CheckWorld& w) { w.fake.http.proxyAsks = Http::kAuthBasic; }, "Package source", CheckVerdict::fail,
       "https://downloads.example: The proxy asks for credentials the setup cannot give: Basic"},
      {"a proxy that takes the Windows logon",
       [](CheckWorld& w) { w.fake.http.proxyAsks = Http::kAuthNegotiate | Http::kAuthNtlm; },
       "Package source", CheckVerdict::ok, "https://downloads.example directly, certificate valid: "},
      {"a package the host lacks",
       [](CheckWorld& w) {
         w.fake.http.files.erase("downloads/" + PlanSetup(w.choices, true, false).serverPackages.back().name);
       },
       "Package source", CheckVerdict::fail, "does not have "},
      {"started from a drive mapped for the user only",
       [](CheckWorld& w) { w.fake.files.modulePath = "Z:\\Setup\\NembricSetup.exe"; }, "Start folder",
       CheckVerdict::warn, "Z:\\Setup is on Z:, a drive mapped for the signed-in user only"},
      {"room on C:", [](CheckWorld&) {}, "Free space on C:\\", CheckVerdict::ok, "needed, 20480.0 MB free"},
      {"a full drive", [](CheckWorld& w) { w.fake.files.driveFreeBytes['C'] = 1000; }, "Free space on C:\\",
       CheckVerdict::fail, "0.0 MB free"},
      {"a full volume mounted below C:, the server's folder on it",
       [](CheckWorld& w) {
         w.choices.serverDirectory = "C:\\Mounts\\Data\\HNembricAI";
         w.fake.files.volumeFreeBytes["C:\\Mounts\\Data\\"] = 1000;
       },
       "Free space on C:\\Mounts\\Data\\", CheckVerdict::fail, "0.0 MB free"},
      {"the server's folder on a share with room",
       [](CheckWorld& w) {
         w.choices.serverDirectory = "\\\\filer\\apps\\HNembricAI";
         w.fake.files.volumeFreeBytes["\\\\filer\\apps\\"] = 20 * kGigabyte;
       },
       "Free space on \\\\filer\\apps\\", CheckVerdict::ok, "needed, 20480.0 MB free"},
      {"a free port", [](CheckWorld&) {}, "Website port 80", CheckVerdict::ok,
       "free: no other site binds it"},
      {"a port another site holds",
       [](CheckWorld& w) {
         w.fake.iis.AddSite(u"Default Web Site", u"1", {{u"http", u"*:80:"}});
       },
       "Website port 80", CheckVerdict::warn,
       "held by the site \"Default Web Site\": its binding *:80: would move to *:8080:"},
      {"SQL Server to install", [](CheckWorld&) {}, "SQL Server", CheckVerdict::ok,
       "to be installed: SQL Server Express"},
      {"no SQL Server wanted", [](CheckWorld& w) { w.choices.installSqlServer = false; }, "SQL Server",
       CheckVerdict::warn, "not present, and not to be installed"},
      {"DISM", [](CheckWorld&) {}, "DISM", CheckVerdict::ok, "DismApi.dll answers"},
      {"DISM missing",
       [](CheckWorld& w) {
         w.fake.features.statuses["DismInitialize"] = static_cast<std::int32_t>(0x8007007E);
       },
       "DISM", CheckVerdict::fail, "DismApi.dll cannot be started (0x8007007E)"},
      {"no restart pending", [](CheckWorld&) {}, "Pending restart", CheckVerdict::ok, "none"},
      {"servicing waits for a restart",
       [](CheckWorld& w) {
         w.fake.registry.AddKey(
             "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending");
       },
       "Pending restart", CheckVerdict::warn, "servicing (Component Based Servicing\\RebootPending)"},
      {"Windows Installer busy",
       [](CheckWorld& w) { w.fake.runtime.existingMutexes.insert(u"Global\\_MSIExecute"); }, "Other setups",
       CheckVerdict::warn, "Windows Installer is busy"},
      {"another setup", [](CheckWorld&) {}, "Other setups", CheckVerdict::fail,
       "another Halvorn Nembric setup is running", true},
      {"a client alone", [](CheckWorld& w) { w.choices.setupType = SetupType::client; }, "DISM",
       CheckVerdict::ok, "not needed: no server is chosen"},
      {"no update to take back", [](CheckWorld&) {}, "Undo", CheckVerdict::ok, "nothing to undo"},
      {"the server's second install",
       [](CheckWorld& w) {
         w.fake.files.SetContent(kInstallRecordPath,
                                 "Nembric setup install record 2\r\n"
                                 "shared\trun\t1\tinstall\tserver\r\nserver\tfolder\tC:\\HNembricAI\r\n"
                                 "server\tcommit\r\nshared\tend\r\n"
                                 "shared\trun\t2\tinstall\tserver\r\nserver\tcommit\r\nshared\tend\r\n");
         w.fake.registry.SetString(
             "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NembricServer",
             "InstallDate", "20261208");
       },
       "Undo", CheckVerdict::ok, "the last update of the server on 2026-12-08 can be taken back"},
  };
  for (const Case& c : cases) {
    CheckWorld world;
    c.arrange(world);
    const std::vector<std::string> before = world.fake.registry.Dump();
    const PreflightReport report = RunPreflight(world.state, world.steps.sql, world.choices, c.anotherSetup);
    const CheckLine* line = world.Find(report, c.name);
    ASSERT_NE(line, nullptr) << c.what;
    EXPECT_EQ(line->verdict, c.verdict) << c.what << ": " << CheckLineText(*line);
    EXPECT_NE(line->figure.find(c.figure), std::string::npos) << c.what << ": " << CheckLineText(*line);
    // A failing line stops the run; a warning does not; nothing on the machine changes.
    EXPECT_EQ(report.WouldGoAhead(), c.verdict != CheckVerdict::fail) << c.what;
    EXPECT_EQ(world.fake.registry.Dump(), before) << c.what;
    EXPECT_TRUE(world.fake.iis.commits.empty()) << c.what;
  }
}

// From a layout, a package must be there and listed with its digest; its size is the file's.
TEST(Preflight, ALayoutMustHoldAndListEveryPackage) {
  for (const bool listed : {true, false}) {
    CheckWorld world;
    world.choices.setupType = SetupType::client;
    world.state.packageSource = "D:\\Media";
    world.fake.files.drives['D'] = 3;
    std::string list;
    const SetupPlan plan = PlanSetup(world.choices, false, false);
    for (const PlannedPackage& package : plan.clientPackages) {
      world.fake.files.SetContent("D:\\Media\\downloads\\" + package.name, std::string(2048, 'c'));
      if (listed || &package != &plan.clientPackages.back()) {
        list += std::string(64, 'a') + "  " + package.name + "\n";
      }
    }
    world.fake.files.SetContent("D:\\Media\\downloads\\SHA256SUMS", list);
    const PreflightReport report = RunPreflight(world.state, world.steps.sql, world.choices, false);
    const CheckLine* source = world.Find(report, "Package source");
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->verdict, listed ? CheckVerdict::ok : CheckVerdict::fail) << source->figure;
    EXPECT_NE(source->figure.find(listed ? "the layout D:\\Media: 2 packages, 0.0 MB"
                                         : "lists no digest for " + plan.clientPackages.back().name),
              std::string::npos)
        << source->figure;
    EXPECT_TRUE(world.fake.http.requests.empty());
  }
}

// The JSON report names each check with its result; quotes, backslashes and characters beyond ASCII are
// escaped so that any JSON reader takes the file.
TEST(Preflight, TheJsonReportEscapesItsTexts) {
  CheckWorld world;
  PreflightReport report;
  report.lines = {{CheckVerdict::fail, "Free space on C:\\", "\"full\" \xc3\xa9"},
                  {CheckVerdict::ok, "DISM", "ok"}};
  EXPECT_EQ(PreflightJson(world.state, report),
            "{\"wouldGoAhead\": false, \"checks\": [\r\n"
            "  {\"name\": \"Free space on C:\\\\\", \"result\": \"FAIL\", \"figure\": \"\\\"full\\\" "
            "\\u00e9\"},\r\n"
            "  {\"name\": \"DISM\", \"result\": \"OK\", \"figure\": \"ok\"}\r\n]}\r\n");
  EXPECT_EQ(ReportEndText(report), "The setup would not go ahead: checks failed: Free space on C:\\");
}

}  // namespace
