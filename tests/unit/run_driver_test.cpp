#include "run/run_driver.h"

#include <gtest/gtest.h>

#include "dialog_test_support.h"
#include "run/maintenance.h"
#include "setup_world.h"
#include "test_cabinets.h"
#include "ui/control_groups.h"

namespace {

constexpr char kInstalledProgram[] = "C:\\Program Files\\Halvorn\\NembricAI\\NembricSetup.exe";

// Presses OK; true when the run ended the process with the exit code.
bool PressOk(DialogFixture& d, std::uint32_t exitCode = 0) {
  try {
    d.dialog.OnCommand(d.window, IDC_OK, 0);
  } catch (const ProcessExit& exit) {
    EXPECT_EQ(exit.exitCode, exitCode);
    return true;
  }
  return false;
}

void Fill(DialogFixture& d, const std::vector<std::pair<int, std::string>>& fields) {
  for (const auto& [id, text] : fields) {
    d.fake.dialogs.SetControlText(d.window, id, text);
  }
}

TEST(RunSetup, FailedChecksShowTheirMessageInOrderAndKeepTheDialog) {
  struct Case {
    std::vector<std::pair<int, std::string>> fields;
    const char* message;
    int focus;
  };
  const std::vector<Case> cases = {
      {{{IDC_SETUP_TYPE, "Client"}, {IDC_CLIENT_DIRECTORY, ""}},
       "Please enter Client Directory",
       IDC_CLIENT_DIRECTORY},
      {{{IDC_SETUP_TYPE, "Both"}, {IDC_CLIENT_DIRECTORY, "   "}},
       "Please enter Client Directory",
       IDC_CLIENT_DIRECTORY},
      {{{IDC_SETUP_TYPE, "Server"}, {IDC_SERVER_DIRECTORY, ""}},
       "Please enter Server Directory",
       IDC_SERVER_DIRECTORY},
      {{{IDC_SETUP_TYPE, "Server"}, {IDC_SERVER_DIRECTORY, "C:\\Srv"}, {IDC_PORT, ""}},
       "Please enter Server Port",
       IDC_PORT},
      {{{IDC_SETUP_TYPE, "Server"}, {IDC_SERVER_DIRECTORY, "C:\\Srv"}, {IDC_PORT, "0"}},
       "Please enter Server Port",
       IDC_PORT},
      {{{IDC_SETUP_TYPE, "Server"},
        {IDC_SERVER_DIRECTORY, "C:\\Srv"},
        {IDC_PORT, "79"},
        {IDC_INSTALL_SQL, "No"},
        {IDC_PASSWORD, "Secret#1"},
        {IDC_PASSWORD_AGAIN, "Secret#2"}},
       "Passwords dont mach",
       IDC_PASSWORD_AGAIN},
  };
  for (const Case& c : cases) {
    DialogFixture d(RunMode::install);
    Fill(d, c.fields);
    EXPECT_FALSE(PressOk(d)) << c.message;
    EXPECT_EQ(d.Boxes(), std::vector<std::string>{c.message});
    EXPECT_EQ(d.fake.dialogs.FocusedControlId(), c.focus) << c.message;
    // The field is the dialog's current control with its whole text selected, as after a failed Tab.
    const WindowHandle field = d.fake.dialogs.GetControl(d.window, c.focus);
    EXPECT_TRUE(d.Control(c.focus).textSelected) << c.message;
    EXPECT_EQ(d.fake.dialogs.madeCurrent, std::vector<WindowHandle>{field}) << c.message;
    EXPECT_TRUE(d.fake.dialogs.endedDialogs.empty());
    EXPECT_EQ(d.Log().find("Secret"), std::string::npos);  // never a password in the log
  }
}

TEST(RunSetup, OneSessionForAllPressesWithTheProxyTypedBeforeTheFirst) {
  DialogFixture d(RunMode::install);
  Fill(d, {{IDC_SETUP_TYPE, "Client"}, {IDC_CLIENT_DIRECTORY, ""}, {IDC_PROXY_SERVER, "proxy.example:3128"}});
  EXPECT_FALSE(PressOk(d));
  EXPECT_FALSE(PressOk(d));
  ASSERT_EQ(d.fake.http.sessions.size(), 1U);
  EXPECT_EQ(d.fake.http.sessions[0].proxy, u"proxy.example:3128");
  const std::string log = d.Log();
  EXPECT_EQ(log.find("Establishing Session"), log.rfind("Establishing Session"));
}

TEST(RunSetup, TheSessionGoesThroughATypedProxyElseTheDetectedOne) {
  struct Case {
    const char16_t* detected;
    const char* typed;
    std::optional<std::u16string> proxy;
    const char* line;
  };
  for (const Case& c : {
           Case{u"proxy.corp:3128", "", u"proxy.corp:3128",
                "Established Session with Proxy:;proxy.corp:3128"},
           Case{u"proxy.corp:3128", "   ", u"proxy.corp:3128",
                "Established Session with Proxy:;proxy.corp:3128"},
           Case{u"proxy.corp:3128", "other:8080", u"other:8080",
                "Established Session with Proxy:;other:8080"},
           Case{nullptr, "", std::nullopt, "Established Session without Proxy:"},
       }) {
    DialogFixture d(RunMode::install);
    if (c.detected != nullptr) {
      d.fake.http.defaultProxy.proxy = c.detected;
    }
    ShowComponentControls(d.ui, ControlGroup::client, true);  // as leaving Setup Type does
    Fill(d, {{IDC_SETUP_TYPE, "Client"}, {IDC_CLIENT_DIRECTORY, ""}, {IDC_PROXY_SERVER, c.typed}});
    EXPECT_FALSE(PressOk(d));
    ASSERT_EQ(d.fake.http.sessions.size(), 1U) << c.typed;
    EXPECT_EQ(d.fake.http.sessions[0].proxy, c.proxy) << c.typed;
    EXPECT_NE(d.Log().find(std::string("Server Setup:") + c.line + "\r\n"), std::string::npos) << d.Log();
  }
}

TEST(UpdateSoftware, TheProgressBarStartsByWhatWasChosen) {
  struct Case {
    SetupType setupType;
    bool installSqlExpress;
    int position;
  };
  for (const Case& c :
       {Case{SetupType::client, false, 38}, Case{SetupType::server, false, 17},
        Case{SetupType::both, false, 13}, Case{SetupType::server, true, 8}, Case{SetupType::both, true, 7}}) {
    DialogFixture d(RunMode::install);
    // With no session, the client's first download cannot open its request: the bar stays where it starts.
    d.state.choices.setupType = c.setupType;
    d.state.choices.bitSize = BitSize::x64;
    d.state.installSqlExpress = c.installSqlExpress;
    d.state.choices.clientDirectory = "C:\\Client";
    UpdateSoftware(d.state, d.steps, PlanSetup(d.state.choices, d.state.installSqlExpress, false));
    EXPECT_EQ(d.Control(IDC_PROGRESS_BAR).position, c.position) << c.position;
  }
}

TEST(UpdateSoftware, CopiesTheSetupProgramIntoTheProductFolder) {
  struct Case {
    const char* running;
    bool refused;
    std::vector<std::string> boxes;
    const char* output;
  };
  for (const Case& c : {Case{"C:\\Setup\\NembricSetup.exe", false, {}, ""},
                        Case{"", false, {"Failed to get module filename"}, ""},
                        Case{"C:\\Setup\\NembricSetup.exe",
                             true,
                             {"Copy failed"},
                             "Copying Targets: Error 5 (no message found).\n"},
                        Case{kInstalledProgram, false, {}, ""}}) {
    DialogFixture d(RunMode::install);
    d.fake.files.modulePath = c.running;
    if (*c.running != '\0') {
      d.fake.files.SetContent(c.running, "MZ setup");
    }
    if (c.refused) {
      d.fake.files.refusedPaths.insert(kInstalledProgram);
    }
    UpdateSoftware(d.state, d.steps, PlanSetup(d.state.choices, d.state.installSqlExpress, false));
    EXPECT_EQ(d.Boxes(), c.boxes) << c.running;
    EXPECT_EQ(d.fake.runtime.standardOutput, c.output) << c.running;
    EXPECT_EQ(d.fake.files.Content(kInstalledProgram).has_value(), !c.refused && *c.running != '\0')
        << c.running;
    // Run from the product folder itself, the program is not copied onto itself.
    EXPECT_EQ(d.fake.files.copies.size(),
              (*c.running != '\0' && c.running != std::string(kInstalledProgram)) ? 1U : 0U);
  }
}

TEST(RunSetup, AClientRunEndsWithTheCompletionBoxAndItsShortcut) {
  struct Case {
    const char* bitSize;
    const char* link;
    const char* target;
  };
  for (const Case& c : {Case{"AI Client", "Halvorn NembricAI", "C:\\Apps\\NembricAI.exe"},
                        Case{"64 Bit", "Halvorn Nembric v10.1", "C:\\Apps\\Nembric10App.exe"},
                        Case{"32 Bit", nullptr, nullptr}}) {
    DialogFixture d(RunMode::install);
    d.program.reporter.dialogWindow = d.window;
    d.fake.files.SetContent("C:\\Setup\\NembricSetup.exe", "MZ setup");
    for (const char* cabinet :
         {"Nembric10AppSetup.cab", "Nembric10AppSetup32.cab", "NembricAIAppSetup.cab"}) {
      d.fake.http.Serve(cabinet, FakeCrypto::Signed(ReadCabinet("plain.cab")));
    }
    for (const char* runtime : {"vcredist_x32.exe", "vcredist_x64.exe", "VC_redist.x64.exe"}) {
      d.fake.http.Serve(runtime, FakeCrypto::Signed(std::string("MZ\0\0", 4)));
      d.fake.processes.AddProgram(std::string("C:\\Apps\\Update\\") + runtime, {});
    }
    Fill(d, {{IDC_SETUP_TYPE, "Client"}, {IDC_BIT_SIZE, c.bitSize}, {IDC_CLIENT_DIRECTORY, "C:\\Apps\\"}});
    EXPECT_TRUE(PressOk(d, 0)) << c.bitSize;
    EXPECT_EQ(d.fake.dialogs.endedDialogs, std::vector<std::intptr_t>{1});
    ASSERT_FALSE(d.Boxes().empty());
    EXPECT_EQ(d.Boxes().back(), "Successfuly completed Setup");
    EXPECT_TRUE(d.Log().ends_with("User Interface:Successfully updated Software\r\n"));
    if (c.link == nullptr) {
      EXPECT_TRUE(d.fake.shell.links.empty());
      continue;
    }
    ASSERT_EQ(d.fake.shell.links.size(), 1U) << c.bitSize;
    const FakeShell::Link& link = d.fake.shell.links[0];
    EXPECT_EQ(link.path, c.target);  // one backslash, though the directory ends with one
    EXPECT_EQ(link.workingDirectory, "C:\\Apps");
    EXPECT_EQ(link.description, "C:\\Apps\\");
    // In the common Start menu, as a shortcut file, whatever folder is current.
    const std::string saved =
        std::string("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\") + c.link + ".lnk";
    EXPECT_EQ(link.savedAs, std::u16string(saved.begin(), saved.end()));
    EXPECT_TRUE(link.remember);
    EXPECT_EQ(d.fake.shell.liveLinks, 0);
  }
}

// The shortcut's result names the call that failed and its code; a shortcut is recorded before it is saved.
TEST(CreateShortcut, SaysWhichCallFailed) {
  constexpr auto kFailed = static_cast<std::int32_t>(0x80004005U);
  struct Case {
    std::int32_t create;
    std::int32_t save;
    ActionResult result;
  };
  for (const Case& c :
       {Case{0, 0, ActionResult::Done()}, Case{kFailed, 0, ActionResult::Failed("CoCreateInstance", kFailed)},
        Case{0, kFailed, ActionResult::Failed("IPersistFile::Save", kFailed)}}) {
    SetupWorld world;
    world.fake.files.AddDirectory("C:\\Program Files\\Halvorn\\NembricAI");
    world.state.record.BeginRun(kInstallMode, true, false);
    world.fake.shell.linkCreateResult = c.create;
    world.fake.shell.linkSaveResult = c.save;
    EXPECT_EQ(CreateShortcut(world.state, "C:\\App\\NembricAI.exe", "Halvorn NembricAI", "C:\\App\\"),
              c.result);
    const std::string record = world.fake.files.Content(kInstallRecordPath).value_or("");
    // Named before it is saved: a shortcut whose save failed may have been left part-made.
    EXPECT_EQ(record.find("Halvorn NembricAI.lnk") != std::string::npos, c.create == 0) << record;
  }
}

// A client whose cabinet the server does not have is taken back at the end of the run: nothing of it stays
// but the setup program's copy, it is not registered and gets no shortcut, and the end names it.
TEST(RunSetup, AClientThatFailedIsTakenBackAndNamed) {
  DialogFixture d(RunMode::install);
  d.program.reporter.dialogWindow = d.window;
  d.fake.files.SetContent("C:\\Setup\\NembricSetup.exe", "MZ setup");
  const std::vector<std::string> filesBefore = d.fake.files.FilePaths();
  const std::vector<std::string> foldersBefore = d.fake.files.DirectoryPaths();
  Fill(d, {{IDC_SETUP_TYPE, "Client"},
           {IDC_BIT_SIZE, "AI Client"},
           {IDC_CLIENT_DIRECTORY, "C:\\Apps\\Nembric\\"}});
  EXPECT_TRUE(PressOk(d, 1603));
  EXPECT_EQ(
      d.Boxes().back(),
      "Successfuly completed Setup\n\nCould not install Nembric Client. The changes were taken back. Please "
      "see the setup log");
  EXPECT_TRUE(d.Log().ends_with(
      "Client Setup:Removed folder C:\\Apps\\Nembric\\Update\r\n"
      "Client Setup:Removed folder C:\\Apps\\Nembric\r\n"
      "Client Setup:Removed folder C:\\Apps\r\n"
      "User Interface:Removed registry value "
      "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NembricSetup\\TypesSupported\r\n"
      "User Interface:Removed registry value "
      "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NembricSetup\\EventMessageFile\r\n"
      "User Interface:Removed registry key "
      "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NembricSetup\r\n"
      "User Interface:Removed C:\\Program Files\\Halvorn\\NembricAI\\NembricSetup.exe\r\n"
      "User Interface:Removed folder C:\\Program Files\\Halvorn\\NembricAI\r\n"
      "User Interface:Removed folder C:\\Program Files\\Halvorn\r\n"
      "User Interface:Successfully updated Software\r\n"
      "User Interface:Could not install Nembric Client. The changes were taken back. "
      "Please see the setup log\r\n"))
      << d.Log();
  EXPECT_TRUE(d.fake.shell.links.empty());
  EXPECT_FALSE(d.fake.registry.HasKey(
      "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NembricClient"));
  EXPECT_FALSE(d.fake.registry.HasKey("HKCU\\Software\\Halvorn"));
  // The machine is as before but for the log: with no component installed, the setup program's copy went
  // with the client.
  std::vector<std::string> files = d.fake.files.FilePaths();
  std::erase_if(files, [](const std::string& path) { return path.ends_with(".log"); });
  EXPECT_EQ(files, filesBefore);
  EXPECT_EQ(d.fake.files.DirectoryPaths(), foldersBefore);
}

struct MaintenanceCase {
  RunMode mode;
  int radio;  // the radio button the person chooses, or 0
  bool server;
  bool client;
  const char* log;
  const char* box;
  std::uint32_t exitCode = 0;
};

TEST(ApplyMaintenanceChoice, EndsAsTheChosenModeWithTheTickedComponents) {
  const std::vector<MaintenanceCase> cases = {
      {RunMode::uninstall, 0, false, true,
       "Client Setup:Client Directory;C:\\Apps\\Client\\\r\nUser Interface:No install record found: nothing "
       "is "
       "removed\r\nUser Interface:Successfully uninstalled Software\r\n",
       "Successfuly completed Setup for Uninstall"},
      {RunMode::repair, IDC_UNINSTALL, false, true,
       "Client Setup:Client Directory;C:\\Apps\\Client\\\r\nUser Interface:No install record found: nothing "
       "is "
       "removed\r\nUser Interface:Successfully uninstalled Software\r\n",
       "Successfuly completed Setup for Uninstall"},
      {RunMode::repair, 0, false, false, "User Interface:Successfully repaired Software\r\n",
       "Successfuly completed Setup for Repair"},
      {RunMode::uninstall, 0, false, false, "User Interface:Successfully uninstalled Software\r\n",
       "Successfuly completed Setup for Uninstall"},
      // The server was never installed here: a repair does not install it.
      {RunMode::repair, 0, true, false,
       "Server Setup:Server Directory;\r\n"
       "Server Setup:Server not installed: the server is not repaired\r\n"
       "User Interface:Successfully repaired Software\r\n"
       "User Interface:Could not repair Halvorn NembricAI Server. Please see the setup log\r\n",
       "Successfuly completed Setup for Repair\n\nCould not repair Halvorn NembricAI Server. Please see the "
       "setup log",
       1603},
  };
  for (const MaintenanceCase& c : cases) {
    DialogFixture d(c.mode, IDD_MAINTENANCE);
    d.program.reporter.dialogWindow = d.window;
    d.fake.registry.SetString("HKCU\\Software\\Halvorn\\Nembric10\\Client", "InstallPath",
                              "C:\\Apps\\Client\\");
    d.fake.http.sessionFails = true;
    if (c.radio != 0) {
      d.fake.dialogs.CheckRadioButton(d.window, IDC_UNINSTALL, IDC_REPAIR, c.radio);
    }
    d.Control(IDC_APPLY_SERVER).checked = c.server;
    d.Control(IDC_APPLY_CLIENT).checked = c.client;
    EXPECT_TRUE(PressOk(d, c.exitCode));
    const std::string session =
        "Server Setup:Establishing Session\r\nServer Setup:Failed Establishing Session without Proxy:\r\n";
    EXPECT_EQ(d.Log(), session + c.log);
    EXPECT_EQ(d.Boxes(), std::vector<std::string>{c.box});
    EXPECT_EQ(d.fake.dialogs.endedDialogs, std::vector<std::intptr_t>{1});
    if (c.server) {
      EXPECT_TRUE(d.steps.server.updateDirectory.empty());
    }
  }
}

TEST(PrepareServerRepair, MakesTheUpdateFolderOrSaysItCannot) {
  for (const char* directory : {"C:\\Srv", "Q:\\Srv\\"}) {
    DialogFixture d(RunMode::repair, IDD_MAINTENANCE);
    d.program.reporter.dialogWindow = d.window;
    d.state.choices.serverDirectory = directory;
    d.steps.server.PrepareServerRepair();
    const bool made = directory[0] == 'C';
    EXPECT_EQ(d.fake.files.DirectoryExists("C:\\Srv\\Update"), made);
    EXPECT_EQ(d.Log().find("Udpate cannot proceed") != std::string::npos, !made) << directory;
    EXPECT_EQ(d.steps.server.cabDirectory, made ? "C:\\Srv\\cab" : "");
  }
}

}  // namespace
