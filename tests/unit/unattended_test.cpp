#include "run/unattended.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>

#include "resources/resource.h"
#include "run/command_line.h"
#include "run/exit_codes.h"
#include "setup_world.h"
#include "steps/undo/product_removal.h"
#include "test_cabinets.h"

namespace {

constexpr char kLog[] = "C:\\Setup\\Halvorn NembricAI  Setup v10.1.3.Log";
constexpr char kAnswers[] = "C:\\Setup\\answers.ini";
constexpr char kClientEntry[] =
    "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NembricClient";

TEST(SplitRunSwitches, TakesTheSwitchesAndTheirValuesOutOfTheCommandLine) {
  struct Case {
    const char16_t* commandLine;
    std::u16string rest;
    bool quiet;
    std::optional<std::u16string> answers;
    std::optional<std::u16string> log;
    std::optional<std::string> error;
  };
  const std::vector<Case> cases = {
      {u"", u"", false, {}, {}, {}},
      {u"/quiet /answers=C:\\install\\answers.ini /source=localhost",
       u"  /source=localhost",
       true,
       u"C:\\install\\answers.ini",
       {},
       {}},
      {u"/QUIET /Answers=\"C:\\My Files\\a.ini\" /log=D:\\x.log /uninstall",
       u"   /uninstall",
       true,
       u"C:\\My Files\\a.ini",
       u"D:\\x.log",
       {}},
      // Quoted whole, as tools quote every argument that holds a blank.
      {u"/quiet \"/answers=C:\\Repair Files\\a.ini\" \"/log=C:\\x y.log\"",
       u"  ",
       true,
       u"C:\\Repair Files\\a.ini",
       u"C:\\x y.log",
       {}},
      {u"\"/answers=C:\\open", u"", false, {}, {}, "/answers has no closing quote"},
      // Only a word of its own is a switch.
      {u"/quietly x/log=y", u"/quietly x/log=y", false, {}, {}, {}},
      {u"/answers=", u"", false, u"", {}, "/answers needs a value"},
      {u"/log=\"C:\\open", u"", false, {}, {}, "/log has no closing quote"},
      {u"/quiet /quiet", u" ", true, {}, {}, "/quiet is given twice"},
      {u"/answers=a /answers=b", u" ", false, u"b", {}, "/answers is given twice"},
  };
  for (const Case& c : cases) {
    const RunSwitches switches = SplitRunSwitches(c.commandLine);
    const std::string line(c.commandLine, c.commandLine + std::char_traits<char16_t>::length(c.commandLine));
    EXPECT_EQ(switches.rest, c.rest) << line;
    EXPECT_EQ(switches.quiet, c.quiet) << line;
    EXPECT_EQ(switches.answersPath, c.answers) << line;
    EXPECT_EQ(switches.logPath, c.log) << line;
    EXPECT_EQ(switches.error, c.error) << line;
  }
  // The switches without a value, and the report's file.
  const RunSwitches passive = SplitRunSwitches(u"/passive /check=\"C:\\My Files\\r.json\" /install");
  EXPECT_TRUE(passive.passive && passive.check && !passive.quiet && !passive.error);
  EXPECT_EQ(passive.checkPath, u"C:\\My Files\\r.json");
  EXPECT_EQ(passive.rest, u"  /install");
  EXPECT_TRUE(SplitRunSwitches(u"/check").check);
  EXPECT_EQ(SplitRunSwitches(u"/check /check=r.json").error, "/check is given twice");
  EXPECT_EQ(SplitRunSwitches(u"/passive /PASSIVE").error, "/passive is given twice");
  // A path of answers holding keywords leaves the run mode to the rest.
  EXPECT_EQ(ParseRunMode(" "), RunMode::install);
  EXPECT_EQ(SplitRunSwitches(u"/quiet /answers=C:\\repair\\uninstall.ini").rest, u" ");
  EXPECT_EQ(TypeSwitchValue("/uninstall /type=server"), "server");
}

TEST(ParseAnswerFile, ReadsGoodFilesAndNamesWhatIsWrongWithBadOnes) {
  struct Case {
    std::string text;
    Answers answers;
    std::optional<AnswerFileError> error;
  };
  const std::vector<Case> cases = {
      {"\xEF\xBB\xBF[Setup]\r\nSetupType=Client\r\nBitSize = AI Client\r\n",
       {{"SetupType", {"Client", 2}}, {"BitSize", {"AI Client", 3}}},
       {}},
      {"; answers\n\n[setup]\n  port\t=  8081  \nSqlPassword=\" Pa55$word \"\n# end",
       {{"Port", {"8081", 4}}, {"SqlPassword", {" Pa55$word ", 5}}},
       {}},
      {"", {}, {}},
      {"SetupType=Client\n", {}, AnswerFileError{1, "", "the answers must follow the [Setup] section"}},
      {"[Setup]\n[Other]\n", {}, AnswerFileError{2, "", "only the [Setup] section is read"}},
      {"[Setup]\nSetupType\n", {}, AnswerFileError{2, "", "the line is not Key = Value"}},
      {"[Setup]\nColour=Blue\n", {}, AnswerFileError{2, "Colour", "unknown key"}},
      {"[Setup]\nPort=80\r\nport=443\r\n", {}, AnswerFileError{3, "Port", "the key is given twice"}},
      {"[Setup]\nHosts=\"a\n", {}, AnswerFileError{2, "Hosts", "the value has no closing quote"}},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseAnswerFile(c.text, AnswerKeys());
    if (c.error) {
      ASSERT_TRUE(std::holds_alternative<AnswerFileError>(parsed)) << c.text;
      const auto& error = std::get<AnswerFileError>(parsed);
      EXPECT_EQ(error.line, c.error->line) << c.text;
      EXPECT_EQ(error.key, c.error->key) << c.text;
      EXPECT_EQ(error.reason, c.error->reason) << c.text;
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<Answers>(parsed)) << c.text;
    const Answers& answers = std::get<Answers>(parsed);
    ASSERT_EQ(answers.size(), c.answers.size()) << c.text;
    for (const auto& [key, answer] : c.answers) {
      ASSERT_TRUE(answers.contains(key)) << key;
      EXPECT_EQ(answers.at(key).value, answer.value) << key;
      EXPECT_EQ(answers.at(key).line, answer.line) << key;
    }
  }
}

TEST(CompletedRunExitCode, AFailureOutweighsARestartWhichOutweighsSuccess) {
  EXPECT_EQ(CompletedRunExitCode(false, false), 0U);
  EXPECT_EQ(CompletedRunExitCode(false, true), 3010U);
  EXPECT_EQ(CompletedRunExitCode(true, false), 1603U);
  EXPECT_EQ(CompletedRunExitCode(true, true), 1603U);
}

// A machine for runs without a window: the client packages on the download server, the runtimes present.
struct QuietWorld : SetupWorld {
  QuietWorld() {
    fake.files.currentDirectory = "C:\\Setup";
    fake.files.AddDirectory("C:\\Setup");
    fake.files.SetContent("C:\\Setup\\NembricSetup.exe", "MZ setup");
    fake.http.Serve("NembricAIAppSetup.cab", FakeCrypto::Signed(ReadCabinet("plain.cab")));
    fake.http.Serve("VC_redist.x64.exe", FakeCrypto::Signed(std::string("MZ\0\0", 4)));
  }
  // The exit code of a run with the command line and, when given, the answer file's text.
  std::uint32_t Run(std::u16string_view commandLine, const std::optional<std::string>& answers = {}) {
    if (answers) {
      fake.files.SetContent(kAnswers, *answers);
    }
    try {
      program.Run(commandLine, 1);
    } catch (const ProcessExit& exit) {
      return exit.exitCode;
    }
    return 0xFFFFFFFF;  // the loop ran: a dialog was shown
  }
  std::string Log() { return fake.files.Content(kLog).value_or(""); }
};

constexpr char16_t kQuietInstall[] = u"/quiet /answers=C:\\Setup\\answers.ini /source=localhost";
constexpr char kAiClient[] = "[Setup]\nSetupType=Client\nBitSize=AI Client\n";
// The AI client's answers, for a run whose client cannot be installed.
constexpr char kAiClientTakenBack[] = "[Setup]\nSetupType=Client\nBitSize=AI Client\n";
constexpr char kInformationServerCode[] = "{7E1D6F0A-3B2C-4D5E-8F90-A1B2C3D4E5F6}";

TEST(UnattendedRun, InstallsFromTheAnswersWithoutAWindowOrABox) {
  QuietWorld world;
  // The runtime installer asks for a restart: its box-free run ends with 3010.
  world.fake.processes.AddProgram("c:\\NembricAIApp\\Update\\VC_redist.x64.exe", {3010, nullptr, false, {}});
  EXPECT_EQ(world.Run(kQuietInstall, kAiClient), 3010U);
  EXPECT_TRUE(world.fake.dialogs.createdDialogs.empty());
  EXPECT_TRUE(world.fake.dialogs.messageBoxes.empty());
  // With no window the progress repaints nothing (not every window on the desktop).
  EXPECT_EQ(world.fake.dialogs.desktopRepaints, 0);
  EXPECT_EQ(world.fake.registry.Value(kClientEntry, "DisplayName")->data, std::string("NembricAI\0", 10));
  EXPECT_EQ(world.fake.files.Content("c:\\NembricAIApp\\readme.txt"), "Halvorn Nembric test file\r\n");
  EXPECT_TRUE(world.Log().ends_with(
      "Client Setup:Updated Client Software\r\n"
      "User Interface:An installer asked for a restart of Windows to complete the setup\r\n"
      "User Interface:Successfully updated Software\r\n"));
  EXPECT_EQ(world.fake.runtime.claimedMutexes, std::vector<std::u16string>{u"Global\\HalvornNembricSetup"});
  // The journal keeps the run's plan after its mark, before the first change of the component.
  const std::string record =
      world.fake.files.Content("C:\\Program Files\\Halvorn\\NembricAI\\InstallRecord.txt").value_or("");
  EXPECT_NE(
      record.find(
          "shared\trun\t1\tinstall\tclient\r\nclient\tplan\tVC_redist.x64.exe NembricAIAppSetup.cab\r\n"),
      std::string::npos)
      << record;

  // Every box of a run is logged under the step that shows it, and the run goes on.
  QuietWorld failing;
  failing.fake.processes.AddProgram("c:\\NembricAIApp\\Update\\VC_redist.x64.exe", {1, nullptr, false, {}});
  EXPECT_EQ(failing.Run(kQuietInstall, kAiClient), 1603U);
  EXPECT_TRUE(failing.fake.dialogs.messageBoxes.empty());
  std::size_t boxes = 0;
  for (std::size_t at = 0;
       (at = failing.Log().find("Client Setup:VC_redist exited with code 1\r\n", at)) != std::string::npos;
       ++at) {
    ++boxes;
  }
  EXPECT_EQ(boxes, 5U);
}

// A client folder whose name no ANSI code page holds whole is installed into and removed from under that
// name, whether the answer file is UTF-8 or (with a name its code page holds) saved in the code page.
TEST(UnattendedRun, InstallsAndRemovesAFolderNamedInAnyScript) {
  const struct {
    const char* what;
    std::string answers;
    std::string folder;  // as the setup keeps it: UTF-8
  } cases[] = {
      {"UTF-8 with a byte order mark",
       "\xEF\xBB\xBF" + std::string(kAiClient) +
           "ClientDirectory=C:\\\xC5\x81\xC3\xB3\x64\xC5\xBA \xE6\x97\xA5\xE6\x9C\xAC\n",
       "C:\\\xC5\x81\xC3\xB3\x64\xC5\xBA \xE6\x97\xA5\xE6\x9C\xAC"},
      {"ANSI", std::string(kAiClient) + "ClientDirectory=C:\\Caf\xE9\n", "C:\\Caf\xC3\xA9"},
  };
  for (const auto& c : cases) {
    QuietWorld world;
    world.fake.processes.AddProgram(c.folder + "\\Update\\VC_redist.x64.exe", {0, nullptr, false, {}});
    world.fake.processes.AddProgram("C:\\Windows\\system32\\cmd.exe", {});
    ASSERT_EQ(world.Run(kQuietInstall, c.answers), 0U) << c.what << world.Log();
    EXPECT_EQ(world.fake.files.Content(c.folder + "\\readme.txt"), "Halvorn Nembric test file\r\n") << c.what;
    EXPECT_EQ(world.fake.registry.Value(kClientEntry, "InstallLocation")->data, c.folder + "\\" + '\0')
        << c.what;
    world.fake.files.currentDirectory = "C:\\Setup";
    Program program{world.fake.machine};
    try {
      program.Run(u"/quiet /uninstall /type=client", 1);
    } catch (const ProcessExit& exit) {
      EXPECT_EQ(exit.exitCode, 0U) << c.what;
    }
    EXPECT_FALSE(world.fake.files.DirectoryExists(c.folder)) << c.what << world.Log();
    EXPECT_FALSE(world.fake.registry.HasKey(kClientEntry)) << c.what;
  }
}

// Each run leaves one event per component in the Application log, from the setup's own source, which the
// install registers with the installed program as its message file; a failure carries the exit code, and a
// restart needed has an event of its own. The last uninstall's event is written as its source goes.
TEST(UnattendedRun, EachComponentOfARunLeavesAnEventForMonitoring) {
  constexpr char kSourceKey[] =
      "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NembricSetup";
  const std::u16string log = u"C:\\Setup\\Halvorn NembricAI  Setup v10.1.3.Log";
  using Event = FakeEventLog::Event;
  struct Case {
    const char* name;
    std::uint32_t runtimeExit;
    std::u16string_view commandLine;
    std::uint32_t exitCode;
    std::vector<Event> events;
  };
  const std::vector<Case> cases = {
      {"installed, a restart needed",
       3010,
       kQuietInstall,
       3010,
       {{u"NembricSetup", EventLog::kInformation, 1000, {u"Nembric Client", log}},
        {u"NembricSetup", EventLog::kWarning, 1005, {u"Nembric Client", log}}}},
      {"failed and taken back",
       1,
       kQuietInstall,
       1603,
       {{u"NembricSetup", EventLog::kError, 1003, {u"Nembric Client", u"1603", log}}}},
      {"removed",
       0,
       u"/quiet /uninstall /type=client",
       0,
       {{u"NembricSetup", EventLog::kInformation, 1002, {u"Nembric Client", log}}}},
  };
  for (const Case& c : cases) {
    QuietWorld world;
    world.fake.processes.AddProgram("c:\\NembricAIApp\\Update\\VC_redist.x64.exe",
                                    {c.runtimeExit, nullptr, false, {}});
    if (c.exitCode == 0) {
      ASSERT_EQ(world.Run(kQuietInstall, kAiClient), 0U);
      EXPECT_EQ(world.fake.registry.Value(kSourceKey, "EventMessageFile")->data,
                std::string("C:\\Program Files\\Halvorn\\NembricAI\\NembricSetup.exe") + '\0');
      EXPECT_EQ(world.fake.registry.Value(kSourceKey, "TypesSupported")->data, std::string("\7\0\0\0", 4));
      world.fake.eventLog.events.clear();
      world.fake.files.currentDirectory = "C:\\Setup";
    }
    EXPECT_EQ(world.Run(c.commandLine, kAiClient), c.exitCode) << c.name;
    ASSERT_EQ(world.fake.eventLog.events.size(), c.events.size()) << c.name;
    for (std::size_t i = 0; i < c.events.size(); ++i) {
      const Event& event = world.fake.eventLog.events[i];
      EXPECT_EQ(std::tie(event.source, event.type, event.id, event.strings),
                std::tie(c.events[i].source, c.events[i].type, c.events[i].id, c.events[i].strings))
          << c.name << " " << i;
    }
    EXPECT_TRUE(world.fake.eventLog.open.empty()) << c.name;
    // Taken back or removed with the last component, the source goes with the setup program.
    EXPECT_EQ(world.fake.registry.HasKey(kSourceKey), c.exitCode == 3010) << c.name;
  }
}

// A passive run asks nothing and ends as a quiet one; its small window follows the run.
TEST(UnattendedRun, PassiveShowsTheRunInASmallWindowAndAsksNothing) {
  QuietWorld world;
  world.fake.processes.AddProgram("c:\\NembricAIApp\\Update\\VC_redist.x64.exe", {1, nullptr, false, {}});
  EXPECT_EQ(world.Run(u"/passive /answers=C:\\Setup\\answers.ini /source=localhost", kAiClient), 1603U);
  EXPECT_EQ(world.fake.dialogs.createdDialogs, std::vector<int>{IDD_PASSIVE});
  EXPECT_TRUE(world.fake.dialogs.messageBoxes.empty());
  EXPECT_NE(world.Log().find("Client Setup:VC_redist exited with code 1\r\n"), std::string::npos);
  const WindowHandle window = world.program.reporter.dialogWindow;
  EXPECT_EQ(world.fake.dialogs.WindowOf(window).showCommand, 1);
  EXPECT_EQ(world.fake.dialogs.ControlOf(window, IDC_PROGRESS_BAR).position, 100);
  EXPECT_TRUE(world.fake.dialogs.ControlOf(window, IDC_STATUS_LINE).text.starts_with("User Interface:"));
}

// Bad switches and answers end the run with 87 and a line that names the fault, before anything is
// fetched or changed.
TEST(UnattendedRun, RefusesBadInputBeforeTouchingTheMachine) {
  struct Case {
    std::u16string commandLine;
    std::optional<std::string> answers;
    const char* line;
  };
  const std::vector<Case> cases = {
      {u"/quiet /answers=", {}, "User Interface:Invalid command line: /answers needs a value\r\n"},
      {u"/quiet /answers=C:\\Setup\\none.ini",
       {},
       "User Interface:Answer file C:\\Setup\\none.ini: the file cannot be read\r\n"},
      {kQuietInstall, "[Setup]\nEdition=Gold\n",
       "User Interface:Answer file C:\\Setup\\answers.ini, line 2, key Edition: the value is not one of "
       "Enterprise, Team, Essential, Express\r\n"},
      {kQuietInstall, "[Setup]\nColour=Blue\n",
       "User Interface:Answer file C:\\Setup\\answers.ini, line 2, key Colour: unknown key\r\n"},
      // The dialog's own checks judge the answers.
      {kQuietInstall, "[Setup]\nSetupType=Server\nPort=79\nInstallSqlServer=No\n",
       "User Interface:Please select Port 80 for Http, 443 for Https or port No >1000 like  1064 for "
       "custom\r\n"},
      {kQuietInstall, "[Setup]\nSetupType=Both\nPort=80\nSqlPassword=plain\n",
       "User Interface:Password should be at least 6 characters \r\n"},
      {kQuietInstall, "[Setup]\nSetupType=Client\nBitSize=64 Bit\nClientDirectory=\" \"\n",
       "User Interface:Please select directory in which your Client Programs will be setup\r\n"},
      {u"/quiet /repair",
       {},
       "User Interface:Invalid command line: an unattended uninstall or repair needs "
       "/type=client, server or both\r\n"},
  };
  for (const Case& c : cases) {
    QuietWorld world;
    EXPECT_EQ(world.Run(c.commandLine, c.answers), 87U) << c.line;
    EXPECT_TRUE(world.Log().ends_with(c.line)) << world.Log();
    EXPECT_TRUE(world.fake.http.requests.empty()) << c.line;
    EXPECT_FALSE(world.fake.files.Content("C:\\Program Files\\Halvorn\\NembricAI\\NembricSetup.exe"))
        << c.line;
    EXPECT_TRUE(world.fake.dialogs.createdDialogs.empty()) << c.line;
  }
}

TEST(UnattendedRun, ASecondSetupChangesNothingAndEndsWith1618) {
  for (const bool quiet : {true, false}) {
    QuietWorld world;
    world.fake.runtime.anotherInstance = true;
    world.fake.files.SetContent(kLog, "Client Setup:a line of the running setup\r\n");
    EXPECT_EQ(world.Run(quiet ? kQuietInstall : u"", kAiClient), 1618U);
    EXPECT_EQ(world.Log(),
              "Client Setup:a line of the running setup\r\n"
              "User Interface:Another Halvorn Nembric setup is running. Please wait until it has ended, then "
              "start this setup again\r\n");
    EXPECT_EQ(world.fake.dialogs.messageBoxes.size(), quiet ? 0U : 1U);
    EXPECT_TRUE(world.fake.dialogs.createdDialogs.empty());
    EXPECT_TRUE(world.fake.http.requests.empty());
  }
}

TEST(UnattendedRun, MaintainsTheComponentsOfTheTypeAndLogsWhereAsked) {
  QuietWorld world;
  world.fake.registry.SetString("HKCU\\Software\\Halvorn\\Nembric10\\Client", "InstallPath", "C:\\Apps\\");
  world.fake.files.AddDirectory("D:\\Logs");
  EXPECT_EQ(world.Run(u"/quiet /uninstall /type=client /log=D:\\Logs\\uninstall.log"), 0U);
  EXPECT_TRUE(world.fake.dialogs.createdDialogs.empty());
  EXPECT_TRUE(world.fake.files.Content("D:\\Logs\\uninstall.log")
                  ->ends_with("Client Setup:Client Directory;C:\\Apps\\\r\n"
                              "User Interface:No install record found: nothing is removed\r\n"
                              "User Interface:Successfully uninstalled Software\r\n"));
  EXPECT_FALSE(world.fake.files.Content(kLog));
}

// The install of the AI client taken back by its quiet uninstall: every file, folder and key the install
// made goes; a file the person added stays with its folder; a value the install replaced gets its old
// text back. A second uninstall finds no record and says so.
TEST(UnattendedRun, TheUninstallTakesBackWhatTheInstallMade) {
  QuietWorld world;
  world.fake.processes.AddProgram("c:\\NembricAIApp\\Update\\VC_redist.x64.exe", {0, nullptr, false, {}});
  world.fake.processes.AddProgram("C:\\Windows\\system32\\cmd.exe", {});
  world.fake.registry.SetString("HKLM\\SOFTWARE\\Halvorn\\NembricAI\\Server", "Version", "9.0");
  const std::vector<std::string> filesBefore = world.fake.files.FilePaths();
  const std::vector<std::string> foldersBefore = world.fake.files.DirectoryPaths();
  ASSERT_EQ(world.Run(kQuietInstall, kAiClient), 0U);
  ASSERT_TRUE(world.fake.registry.HasKey(kClientEntry));
  ASSERT_TRUE(world.fake.files.Content("C:\\Program Files\\Halvorn\\NembricAI\\InstallRecord.txt"));
  world.fake.files.SetContent("C:\\NembricAIApp\\Update\\notes.txt", "mine");
  // The program runs again from its installed copy, as the uninstall entry starts it.
  world.fake.files.modulePath = "C:\\Program Files\\Halvorn\\NembricAI\\NembricSetup.exe";
  world.fake.files.runningImages.insert(world.fake.files.modulePath);
  // The quiet uninstall of the client, as a new process started in the setup's folder.
  const auto uninstall = [&world] {
    world.fake.files.currentDirectory = "C:\\Setup";
    Program program{world.fake.machine};
    try {
      program.Run(u"/quiet /uninstall /type=client", 1);
    } catch (const ProcessExit& exit) {
      EXPECT_EQ(exit.exitCode, 0U);
    }
  };
  uninstall();
  const std::string log = world.Log();
  EXPECT_NE(log.find("Client Setup:Removed file c:\\NembricAIApp\\readme.txt\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Client Setup:Kept folder that is not empty c:\\NembricAIApp\\Update\r\n"),
            std::string::npos);
  EXPECT_NE(
      log.find(
          "Client Setup:Restored registry value HKLM\\SOFTWARE\\Halvorn\\NembricAI\\Server\\Version\r\n"),
      std::string::npos);
  EXPECT_FALSE(world.fake.registry.HasKey(kClientEntry));
  EXPECT_FALSE(world.fake.registry.HasKey("HKCU\\Software\\Halvorn"));
  EXPECT_EQ(world.fake.registry.Value("HKLM\\SOFTWARE\\Halvorn\\NembricAI\\Server", "Version")->data,
            std::string("9.0\0", 4));
  EXPECT_FALSE(world.fake.registry.Value("HKLM\\SOFTWARE\\Halvorn\\NembricAI\\Server", "InstallPath"));
  // The running copy cannot be deleted, but it leaves the product's folder at once for a folder of its own
  // that only the administrators may touch; the record and the folders go now. A helper started as the
  // process ends deletes the program, and Windows does at its next start should the helper not get to it.
  EXPECT_TRUE(
      log.ends_with("User Interface:Removing after setup ends: C:\\Program "
                    "Files\\Halvorn\\NembricAI\\NembricSetup.exe\r\n"
                    "User Interface:Removed folder C:\\Program Files\\Halvorn\\NembricAI\r\n"
                    "User Interface:Removed folder C:\\Program Files\\Halvorn\r\n"
                    "User Interface:Successfully uninstalled Software\r\n"))
      << log;
  ASSERT_EQ(world.fake.files.restartRemovals.size(), 2U);
  const std::string moved = world.fake.files.restartRemovals[0];
  const std::string aside = world.fake.files.restartRemovals[1];
  EXPECT_TRUE(aside.starts_with("C:\\Windows\\Temp\\NembricSetup-")) << aside;
  EXPECT_EQ(moved, aside + "\\NembricSetup.exe");
  EXPECT_EQ(world.fake.files.Content(moved), "MZ setup");
  EXPECT_FALSE(world.fake.files.Content(world.fake.files.modulePath));
  EXPECT_NE(world.fake.files.SecurityOf(aside).value_or("").find("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"),
            std::string::npos);
  ASSERT_FALSE(world.fake.processes.starts.empty());
  EXPECT_EQ(world.fake.processes.starts.back().applicationName, "C:\\Windows\\system32\\cmd.exe");
  EXPECT_TRUE(world.fake.processes.starts.back().noWindow);
  EXPECT_EQ(world.fake.processes.starts.back().commandLine,
            "\"C:\\Windows\\system32\\cmd.exe\" /c ping -n 3 127.0.0.1 >nul & del /f /q \"" + moved +
                "\" & rmdir \"" + aside + "\"");
  // The helper's work, once the program has ended.
  world.fake.files.runningImages.clear();
  EXPECT_TRUE(world.fake.files.Remove(moved));
  EXPECT_TRUE(world.fake.files.RemoveFolder(aside));

  // Nothing of the install is left but the person's file and its folders, and the logs.
  std::vector<std::string> expectedFiles = filesBefore;
  for (const char* kept : {"c:\\nembricaiapp\\update\\notes.txt",
                           "c:\\setup\\halvorn nembricai  setup v10.1.3.log", "c:\\setup\\answers.ini"}) {
    expectedFiles.push_back(kept);
  }
  std::sort(expectedFiles.begin(), expectedFiles.end());
  expectedFiles.erase(std::unique(expectedFiles.begin(), expectedFiles.end()), expectedFiles.end());
  EXPECT_EQ(world.fake.files.FilePaths(), expectedFiles);
  std::vector<std::string> expectedFolders = foldersBefore;
  for (const char* kept : {"c:\\nembricaiapp", "c:\\nembricaiapp\\update", "c:\\setup"}) {
    expectedFolders.push_back(kept);
  }
  std::sort(expectedFolders.begin(), expectedFolders.end());
  expectedFolders.erase(std::unique(expectedFolders.begin(), expectedFolders.end()), expectedFolders.end());
  EXPECT_EQ(world.fake.files.DirectoryPaths(), expectedFolders);

  uninstall();
  EXPECT_TRUE(
      world.Log().ends_with("User Interface:No install record found: nothing is removed\r\n"
                            "User Interface:Successfully uninstalled Software\r\n"));
}

// A quiet run cut off after its Nth change to the machine (a file or folder made or written, a key or value
// set, an IIS configuration committed, a program started), for every N up to the last: the next run
// settles what was cut off (an install or a repair is taken back, an uninstall is finished) and goes on;
// after the product has been completed and uninstalled, the machine is as it was before the first run
// (the logs, the answer file, the runtimes and the IIS features aside). The installers go on to their end
// whatever becomes of the setup: cut off after one, the next run finds its product in place, and the
// package the cut-off run left is still taken back. The IIS configuration keeps what was committed.
// The walk in two halves that run side by side: every other road in each, the cut settle in the first, the
// power cuts in the second.
class CutOffWalk : public ::testing::TestWithParam<int> {};

TEST_P(CutOffWalk, ARunCutOffAfterAnyChangeIsSettledByTheNextAndLeavesNothing) {
  constexpr char kRecord[] = "C:\\Program Files\\Halvorn\\NembricAI\\InstallRecord.txt";
  // Every file with what it holds (a file put back must hold what it held), every folder, the registry and
  // the committed IIS configuration.
  const auto machineState = [](QuietWorld& world) {
    std::vector<std::string> state;
    for (const std::string& path : world.fake.files.FilePaths()) {
      if (!path.ends_with(".log") && path != "c:\\setup\\answers.ini") {
        state.push_back(
            path + " " +
            std::to_string(std::hash<std::string>{}(world.fake.files.Content(path).value_or(""))));
      }
    }
    for (const std::string& folder : world.fake.files.DirectoryPaths()) {
      state.push_back("folder " + folder);
    }
    for (const std::string& line : world.fake.registry.Dump()) {
      if (!line.starts_with("hklm\\software\\microsoft\\visualstudio")) {
        state.push_back("registry " + line);
      }
    }
    state.push_back(world.fake.iis.Dump());
    return state;
  };
  // Each run a new process, started in the setup's folder. At a window, the administrator ticks the
  // component the command line names (its /type= presets nothing there) and presses OK.
  const auto run = [](QuietWorld& world, std::u16string_view commandLine) {
    world.fake.files.currentDirectory = "C:\\Setup";
    Program program{world.fake.machine};
    try {
      program.Run(commandLine, 1);
      const WindowHandle window = program.reporter.dialogWindow;
      world.fake.dialogs.ControlOf(window, IDC_APPLY_CLIENT).checked =
          commandLine.find(u"/type=client") != std::u16string_view::npos;
      program.dialog.OnCommand(window, IDC_OK, 0);
    } catch (const ProcessExit& exit) {
      return exit.exitCode;
    }
    return 0xFFFFFFFFU;
  };
  const auto runtime = [](FakeRegistry& registry, const std::string& key) {
    registry.SetString("HKLM\\" + key, "Version", "v14.40.33810.00");
    RegistryKey opened = RegistryKey::none;
    registry.CreateKey(RegistryKey::localMachine, key, Registry::kWrite | Registry::kView64, opened);
    registry.SetValue(opened, "Installed", {Registry::kTypeDword, std::string("\1\0\0\0", 4)});
    registry.CloseKey(opened);
  };
  const auto prepare = [&runtime](QuietWorld& world, const char* answers) {
    // The client's cabinet cannot be fetched: the run takes the client back at its end, and is cut in that
    // taking back too.
    if (answers == kAiClientTakenBack) {
      world.fake.http.unopenablePaths.insert("downloads/NembricAIAppSetup.cab");
    }
    if (std::string_view(answers).find("Port=1465") != std::string_view::npos) {
      world.fake.files.SetContent("C:\\HNembricAI\\HNembricAI.dll", "the older setup's module");
      world.fake.files.SetContent("C:\\HNembricAI\\readme.txt", "the older setup's readme");
    }
    FakeRegistry& registry = world.fake.registry;
    world.fake.processes.AddProgram("c:\\NembricAIApp\\Update\\VC_redist.x64.exe",
                                    {0,
                                     [&registry, &runtime] {
                                       runtime(registry,
                                               "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64");
                                     },
                                     false,
                                     {}});
    world.fake.files.SetContent(kAnswers, answers);
    // The server's packages, its runtime in place, SQL Server's setup and the Windows Installer, and IIS
    // with its default site on the server's port.
    for (const char* cabinet :
         {"HNembricAI1.cab", "HNembricAI2.cab", "HNembricAI3.cab", "HNembricAI4.cab", "HNembricAI5.cab",
          "Nembric10App.cab", "Nembric10App32.cab", "NembricAiApp.cab", "HNbx.cab"}) {
      world.fake.http.Serve(
          cabinet,
          FakeCrypto::Signed(ReadCabinet(std::string(cabinet) == "HNbx.cab" ? "nested.cab" : "plain.cab")));
    }
    for (const char* installer : {"SQLEXPR_x64_ENU.exe", "sqlncli.msi", "NembricISSetup.msi"}) {
      world.fake.http.Serve(installer, FakeCrypto::Signed(std::string("MZ\0\0", 4)));
    }
    runtime(registry, "SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64");
    world.fake.processes.AddProgram("C:\\HNembricAI\\Update\\SQLEXPR_x64_ENU.exe", {});
    // Windows Installer as it is: a package installs its product (its folder, its key, its state), and
    // /x removes what it installed.
    FakeMachine& fake = world.fake;
    FakeProcesses::Program msiexec;
    msiexec.effect = [&fake] {
      const bool removing = fake.processes.starts.back().commandLine.find(" /x ") != std::string::npos;
      if (removing) {
        fake.installerDatabase.installedProducts.erase(kInformationServerCode);
        fake.registry.DeleteKey(RegistryKey::localMachine, "SOFTWARE\\NembricIS", 0);
        fake.files.RemoveFolder("C:\\Program Files\\NembricIS");
      } else if (fake.processes.starts.back().commandLine.find("NembricISSetup.msi") != std::string::npos) {
        fake.installerDatabase.installedProducts.insert(kInformationServerCode);
        fake.registry.SetString("HKLM\\SOFTWARE\\NembricIS", "Version", "1");
        fake.files.AddDirectory("C:\\Program Files\\NembricIS");
      }
    };
    world.fake.processes.AddProgram("C:\\Windows\\system32\\msiexec.exe", msiexec);
    world.fake.installerDatabase.packages["C:\\HNembricAI\\Update\\NembricISSetup.msi"] = {
        {"ProductCode", kInformationServerCode}};
    world.fake.files.drives = {{'C', Files::kDriveFixed}};
    world.fake.files.driveFreeBytes = {{'C', 1ULL << 35U}};
    world.fake.iis.AddSite(u"Default Web Site", u"1", {{u"http", u"*:80:"}});
  };
  // Does `act`, then puts the machine back as it stood right after its Nth change (its Nth flush, with
  // `atFlush`): the disk, the registry and the committed IIS configuration. What `act` did after that
  // moment is dropped, as a cut drops it. False when `act` made fewer.
  const auto cutAfter = [](QuietWorld& world, std::size_t n, bool atFlush, const std::function<void()>& act) {
    std::size_t seen = 0;
    std::optional<FakeFiles::Disk> disk;
    std::optional<FakeRegistry::Hive> hive;
    std::string iis = world.fake.iis.Save();
    const std::size_t commitsBefore = world.fake.iis.commits.size();
    const auto snapshot = [&] {
      if (++seen == n) {
        disk = world.fake.files.SaveDisk();
        hive = world.fake.registry.SaveHive();
        if (world.fake.iis.commits.size() > commitsBefore) {
          iis = world.fake.iis.commits.back().saved;
        }
      }
    };
    if (atFlush) {
      world.fake.files.flushed = snapshot;
    } else {
      world.fake.OnEachChange(snapshot);
    }
    act();
    world.fake.files.flushed = nullptr;
    world.fake.OnEachChange(nullptr);
    if (!disk || !hive) {
      return false;
    }
    world.fake.files.RestoreDisk(*disk);
    world.fake.registry.RestoreHive(*hive);
    world.fake.iis.Load(iis);
    return true;
  };
  // How many commits the record holds.
  const auto commitsIn = [&](QuietWorld& world) {
    const std::string record = world.fake.files.Content(kRecord).value_or("");
    std::size_t lines = 0;
    for (std::size_t at = record.find("\tcommit\r\n"); at != std::string::npos;
         at = record.find("\tcommit\r\n", at + 1)) {
      ++lines;
    }
    return lines;
  };
  // The machine as a commit leaves it: a component committed keeps the copies of its run (for an undo);
  // the shared part's go, and those of a component not yet committed go back with it.
  const auto committedMachine = [&machineState, &kRecord](QuietWorld& world) {
    std::vector<std::string> machine = machineState(world);
    std::string record = world.fake.files.Content(kRecord).value_or("");
    std::transform(record.begin(), record.end(), record.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::vector<std::vector<std::string>> lines;
    for (std::size_t at = std::min(record.rfind("shared\trun\t"), record.size()); at < record.size();) {
      const std::size_t end = std::min(record.find("\r\n", at), record.size());
      std::vector<std::string> fields;
      for (std::size_t field = at; field <= end;) {
        const std::size_t tab = std::min(record.find('\t', field), end);
        fields.push_back(record.substr(field, tab - field));
        field = tab + 1;
      }
      lines.push_back(std::move(fields));
      at = end + 2;
    }
    std::set<std::string> kept;
    for (const std::vector<std::string>& backup : lines) {
      const bool committed = std::any_of(lines.begin(), lines.end(), [&backup](const auto& line) {
        return line.size() == 2 && line[0] == backup[0] && line[1] == "commit";
      });
      if (backup.size() == 4 && backup[1] == "backup" && backup[0] != "shared" && committed) {
        kept.insert(backup[3]);
      }
    }
    std::erase_if(machine, [&kept](const std::string& line) {
      return line.starts_with("c:\\program files\\halvorn\\nembricai\\backup\\") &&
             !kept.contains(line.substr(0, line.find_last_of(' ')));
    });
    return machine;
  };
  // The next run's settle alone, as a new process does it.
  const auto settle = [](QuietWorld& world) {
    world.fake.files.currentDirectory = "C:\\Setup";
    Program next{world.fake.machine};
    next.state.startDirectory = "C:\\Setup";
    SettleCutOffRun(next.state);
  };
  // The machine with its files by name alone, not by what they hold.
  const auto names = [](std::vector<std::string> machine) {
    for (std::string& line : machine) {
      if (!line.starts_with("folder ") && !line.starts_with("registry ") && !line.starts_with("<")) {
        line = line.substr(0, line.find_last_of(' '));
      }
    }
    return machine;
  };
  // What the machine holds that it should not, and what it lacks (its files by name alone, with `byName`);
  // the record aside (the journal's own tests judge it).
  const auto differs = [&machineState, &names](QuietWorld& world, std::vector<std::string> expected,
                                               bool byName = false) {
    std::vector<std::string> actual = byName ? names(machineState(world)) : machineState(world);
    const auto isRecord = [](const std::string& line) {
      return line.starts_with("c:\\program files\\halvorn\\nembricai\\installrecord.txt");
    };
    std::erase_if(expected, isRecord);
    std::erase_if(actual, isRecord);
    std::string difference;
    for (const std::string& line : actual) {
      if (std::find(expected.begin(), expected.end(), line) == expected.end()) {
        difference += "left: " + line.substr(0, 2000) + "\n";
      }
    }
    for (const std::string& line : expected) {
      if (std::find(actual.begin(), actual.end(), line) == actual.end()) {
        difference += "missing: " + line.substr(0, 2000) + "\n";
      }
    }
    return difference;
  };
  constexpr char kBoth[] =
      "[Setup]\nSetupType=Both\nBitSize=AI Client\nServerDirectory=C:\\HNembricAI\nPort=80\n"
      "InstallSqlServer=Yes\nSqlPassword=Pa55$word\n";
  // The information server's port, over a server folder that holds files no record names (an install by
  // an older setup).
  constexpr char kServer1465[] =
      "[Setup]\nSetupType=Server\nServerDirectory=C:\\HNembricAI\nPort=1465\nInstallSqlServer=No\n";
  constexpr char kServer[] =
      "[Setup]\nSetupType=Server\nServerDirectory=C:\\HNembricAI\nPort=80\nInstallSqlServer=No\n";
  constexpr char16_t kServerUninstall[] = u"/quiet /uninstall /type=server";
  constexpr char16_t kClientUninstallAtTheDialog[] = u"/uninstall /type=client";
  constexpr char16_t kClientUninstall[] = u"/quiet /uninstall /type=client";
  constexpr char16_t kBothUninstall[] = u"/quiet /uninstall /type=both";
  constexpr char16_t kBothRepair[] = u"/quiet /repair /type=both";
  constexpr char16_t kClientRepair[] = u"/quiet /repair /type=client";
  constexpr char kSetupCutOff[] = "User Interface:The last setup was cut off before its end";
  constexpr char kUninstallCutOff[] = "User Interface:The last uninstall was cut off before its end";
  struct Road {
    const char* name;
    const char* answers;
    const char16_t* before;  // the run that the cut one follows, or nothing
    const char16_t* cut;
    const char16_t* after;  // the run that completes what was cut off, or nothing
    const char16_t* uninstall;
    const char* settledLine;
    std::uint32_t cutExit = 0;  // how the cut run ends when it is not cut
  };
  std::size_t roadIndex = 0;
  for (const Road& road : {
           Road{"client install", kAiClient, nullptr, kQuietInstall, kQuietInstall, kClientUninstall,
                kSetupCutOff},
           Road{"client uninstall", kAiClient, kQuietInstall, kClientUninstall, nullptr, kClientUninstall,
                kUninstallCutOff},
           Road{"both install", kBoth, nullptr, kQuietInstall, kQuietInstall, kBothUninstall, kSetupCutOff},
           Road{"both repair", kBoth, kQuietInstall, kBothRepair, kBothRepair, kBothUninstall, kSetupCutOff},
           Road{"both uninstall", kBoth, kQuietInstall, kBothUninstall, nullptr, kBothUninstall,
                kUninstallCutOff},
           Road{"server on port 1465 over unrecorded files", kServer1465, nullptr, kQuietInstall,
                kQuietInstall, kServerUninstall, kSetupCutOff},
           Road{"server install", kServer, nullptr, kQuietInstall, kQuietInstall, kServerUninstall,
                kSetupCutOff},
           Road{"client uninstall at the dialog", kAiClient, kQuietInstall, kClientUninstallAtTheDialog,
                nullptr, kClientUninstall, kUninstallCutOff},
           Road{"client install taken back", kAiClientTakenBack, nullptr, kQuietInstall, kQuietInstall,
                kClientUninstall, kSetupCutOff, 1603},
       }) {
    if (roadIndex++ % 2 != static_cast<std::size_t>(GetParam())) {
      continue;
    }
    std::size_t total = 0;
    std::size_t flushes = 0;
    std::vector<std::pair<std::size_t, std::vector<std::string>>> committed;
    // The machine as a cut after each change leaves it: the disk, the registry and the committed IIS
    // configuration, taken in one run of the road. The run goes on to its end, and what it does after the
    // cut is dropped: the rest of the world (the products Windows Installer holds) stays as the run left it.
    struct Cut {
      FakeFiles::Disk disk;
      FakeRegistry::Hive hive;
      std::string iis;
    };
    std::vector<Cut> cuts;
    std::set<std::string> productsAtEnd;
    std::vector<std::string> before;
    std::vector<std::string> beforeCut;
    {
      QuietWorld world;
      prepare(world, road.answers);
      before = machineState(world);
      if (road.before != nullptr) {
        ASSERT_EQ(run(world, road.before), 0U) << road.name << "\n" << world.Log();
      }
      // What the settle of a cut install or repair must leave: the machine as the cut run found it.
      beforeCut = machineState(world);
      const std::string iisAtStart = world.fake.iis.Save();
      const std::size_t commitsBefore = world.fake.iis.commits.size();
      // The machine at each commit: a component committed stays, and what a later cut leaves is settled to
      // the machine as it was then.
      std::size_t commitLines = 0;
      world.fake.OnEachChange([&] {
        ++total;
        cuts.push_back({world.fake.files.SaveDisk(), world.fake.registry.SaveHive(),
                        world.fake.iis.commits.size() > commitsBefore ? world.fake.iis.commits.back().saved
                                                                      : iisAtStart});
        if (const std::size_t lines = commitsIn(world); lines > commitLines) {
          commitLines = lines;
          committed.emplace_back(total, committedMachine(world));
        }
      });
      const std::size_t flushesBefore = world.fake.files.flushes.size();
      ASSERT_EQ(run(world, road.cut), road.cutExit) << road.name << "\n" << world.Log();
      world.fake.OnEachChange(nullptr);
      flushes = world.fake.files.flushes.size() - flushesBefore;
      productsAtEnd = world.fake.installerDatabase.installedProducts;
    }
    ASSERT_GT(total, 20U);
    std::size_t settled = 0;
    for (std::size_t n = 1; n <= total; ++n) {
      QuietWorld world;
      prepare(world, road.answers);
      // The machine as the cut left it after the Nth change.
      world.fake.files.RestoreDisk(cuts[n - 1].disk);
      world.fake.registry.RestoreHive(cuts[n - 1].hive);
      world.fake.iis.Load(cuts[n - 1].iis);
      world.fake.installerDatabase.installedProducts = productsAtEnd;
      if (road.after == nullptr) {
        // A cut uninstall is settled by finishing it: judged after the next uninstall.
        EXPECT_EQ(run(world, road.uninstall), 0U) << road.name << " " << n << world.Log();
        if (world.Log().find(road.settledLine) != std::string::npos) {
          ++settled;
        }
        EXPECT_EQ(machineState(world), before) << road.name << " " << n << "\n" << world.Log();
      } else {
        // A cut install or repair is judged right after the settle alone, before the next run writes
        // anything again: whatever the cut left that the record does not name would be hidden by the next
        // run's own changes. What it must leave: the machine as the cut run found it, or as it was at the
        // last commit before the cut (a committed component stays).
        const std::string recordAtCut = world.fake.files.Content(kRecord).value_or("(none)");
        settle(world);
        if (world.Log().find(road.settledLine) != std::string::npos) {
          ++settled;
        }
        std::vector<std::string> expected = beforeCut;
        for (const auto& [at, machine] : committed) {
          if (at <= n) {
            expected = machine;
          }
        }
        const std::string difference = differs(world, expected);
        EXPECT_TRUE(difference.empty()) << road.name << " " << n << "\n"
                                        << difference << world.Log() << recordAtCut;
      }
      if (HasFailure()) {
        return;
      }
    }
    // Cut off once its run has begun, a run is settled by the next one.
    EXPECT_GT(settled, total / 2) << road.name << ": " << settled << " of " << total;
    std::cout << road.name << ": cut-off points walked: " << total << ", settled: " << settled
              << ", flushes of the run: " << flushes << "\n";
  }

  // The power goes at any flush of a repair of the client: what was flushed is there, every other file the
  // run wrote holds zeros (the names made stay). Each line is flushed before its change, and the copy of
  // what the repair replaces before the file is overwritten, so the settle puts every file back whole.
  // After the commit, the committed files are as the system's lazy writer left them: judged by their names.
  // Then it goes at any change, with the writes under way torn in their middle (a record line half written).
  for (const bool torn : {false, true}) {
    if (GetParam() != 1) {
      break;
    }
    std::size_t cuts = 0;
    std::vector<std::pair<std::size_t, std::vector<std::string>>> commits;
    std::size_t commitLines = 0;
    const auto watch = [&](QuietWorld& world, const std::function<void()>& onCut) {
      if (torn) {
        world.fake.OnEachChange(onCut);
      } else {
        world.fake.files.flushed = onCut;
      }
    };
    {
      QuietWorld world;
      prepare(world, kAiClient);
      ASSERT_EQ(run(world, kQuietInstall), 0U) << world.Log();
      // The install's commits are the machine's already.
      commitLines = commitsIn(world);
      watch(world, [&] {
        ++cuts;
        if (const std::size_t lines = commitsIn(world); lines > commitLines) {
          commitLines = lines;
          commits.emplace_back(cuts, names(committedMachine(world)));
        }
      });
      ASSERT_EQ(run(world, kClientRepair), 0U) << world.Log();
      watch(world, nullptr);
    }
    ASSERT_GT(cuts, 10U);
    for (std::size_t k = 1; k <= cuts; ++k) {
      QuietWorld world;
      prepare(world, kAiClient);
      ASSERT_EQ(run(world, kQuietInstall), 0U);
      world.fake.files.MakeAllDurable();
      const std::vector<std::string> before = machineState(world);
      const std::size_t installCommits = commitsIn(world);
      ASSERT_TRUE(cutAfter(world, k, !torn, [&] { run(world, kClientRepair); })) << k;
      world.fake.files.PowerCut(torn);
      // A commit line the power took before it reached the disk commits nothing.
      const bool committed = commitsIn(world) > installCommits;
      settle(world);
      std::vector<std::string> expected = before;
      bool byName = false;
      for (const auto& [at, machine] : commits) {
        if (at <= k && committed) {
          expected = machine;
          byName = true;
        }
      }
      const std::string difference = differs(world, expected, byName);
      EXPECT_TRUE(difference.empty())
          << "power cut at " << (torn ? "change " : "flush ") << k << " of " << cuts << "\n"
          << difference << world.fake.files.Content(kRecord).value_or("(none)");
      if (HasFailure()) {
        return;
      }
    }
    std::cout << "client repair: power cuts walked at " << cuts
              << (torn ? " changes, writes torn\n" : " flushes\n");
  }

  // A settle cut off part-way is settled again by the next run: the Both install is cut where its server
  // has its website and modules in place, and the settle of that cut is cut after each of its own changes.
  if (GetParam() == 0) {
    std::size_t cutAt = 0;
    {
      QuietWorld world;
      prepare(world, kBoth);
      std::size_t changes = 0;
      world.fake.OnEachChange([&] {
        ++changes;
        if (cutAt == 0 && !world.fake.iis.commits.empty()) {
          cutAt = changes;
        }
      });
      ASSERT_EQ(run(world, kQuietInstall), 0U);
    }
    ASSERT_GT(cutAt, 0U);
    // The machine the cut run left, again for each cut of the settle.
    const auto cutWorld = [&](QuietWorld& world) {
      prepare(world, kBoth);
      return cutAfter(world, cutAt, false, [&] { run(world, kQuietInstall); });
    };
    // What a whole settle leaves (the client, committed before the cut, stays): a settle cut part-way and
    // settled again leaves the same.
    std::vector<std::string> settledOnce;
    std::size_t settleChanges = 0;
    {
      QuietWorld world;
      ASSERT_TRUE(cutWorld(world));
      world.fake.OnEachChange([&settleChanges] { ++settleChanges; });
      settle(world);
      world.fake.OnEachChange(nullptr);
      settledOnce = machineState(world);
    }
    ASSERT_GT(settleChanges, 10U);
    for (std::size_t m = 1; m <= settleChanges; ++m) {
      QuietWorld world;
      ASSERT_TRUE(cutWorld(world));
      ASSERT_TRUE(cutAfter(world, m, false, [&] { settle(world); })) << m;
      settle(world);
      const std::string difference = differs(world, settledOnce);
      EXPECT_TRUE(difference.empty()) << "settle cut after change " << m << " of " << settleChanges << "\n"
                                      << difference << world.Log();
      if (HasFailure()) {
        return;
      }
    }
    std::cout << "both install cut at change " << cutAt << ": settle cut-off points walked: " << settleChanges
              << "\n";
  }
}

INSTANTIATE_TEST_SUITE_P(Halves, CutOffWalk, ::testing::Values(0, 1));

// Without /quiet the answers fill the dialog, which the person then confirms.
TEST(UnattendedRun, AnswersWithoutQuietFillTheDialog) {
  QuietWorld world;
  EXPECT_EQ(
      world.Run(u"/answers=C:\\Setup\\answers.ini", "[Setup]\nSetupType=Both\nBitSize=32 Bit\nPort=8081\n"),
      0xFFFFFFFFU);
  const WindowHandle dialog = world.program.reporter.dialogWindow;
  EXPECT_EQ(world.fake.dialogs.WindowText(world.fake.dialogs.GetControl(dialog, IDC_PORT), 100), "8081");
  EXPECT_EQ(world.fake.dialogs.WindowText(world.fake.dialogs.GetControl(dialog, IDC_CLIENT_DIRECTORY), 100),
            "c:\\Nembric10App32");
  EXPECT_TRUE(world.fake.dialogs.ControlOf(dialog, IDC_PORT).visible);
  // The server's Setup Type looks for an installed SQL Server, as its Tab does.
  EXPECT_NE(world.Log().find("User Interface:Checking whether SQL Server installed"), std::string::npos);
}

}  // namespace

// The main dialog's window menu runs the pre-flight check of the fields: their checks first, then the
// report in a box over the dialog, which stays; the log keeps the run's own lines.
TEST(DialogCheck, TheWindowMenuShowsTheReportOfTheFieldsOverTheDialog) {
  constexpr int kCheckCommand = 0x10;
  QuietWorld world;
  world.fake.runtime.elevated = true;
  ASSERT_EQ(world.Run(u"/source=localhost"), 0xFFFFFFFFU);
  const WindowHandle window = world.program.reporter.dialogWindow;
  EXPECT_EQ(world.fake.dialogs.WindowOf(window).systemMenu,
            (std::vector<std::pair<int, std::string>>{{kCheckCommand, "&Pre-flight check..."},
                                                      {0x20, "&What will change..."}}));
  world.fake.dialogs.SetControlText(window, IDC_SETUP_TYPE, "Client");
  world.fake.dialogs.SetControlText(window, IDC_CLIENT_DIRECTORY, "");
  EXPECT_TRUE(world.program.dialog.OnSystemCommand(window, kCheckCommand));
  world.fake.dialogs.SetControlText(window, IDC_CLIENT_DIRECTORY, "c:\\NembricAIApp");
  world.fake.dialogs.SetControlText(window, IDC_BIT_SIZE, "AI Client");
  EXPECT_TRUE(world.program.dialog.OnSystemCommand(window, kCheckCommand));
  world.fake.files.driveFreeBytes['C'] = 1ULL << 32U;
  EXPECT_TRUE(world.program.dialog.OnSystemCommand(window, kCheckCommand));
  EXPECT_FALSE(world.program.dialog.OnSystemCommand(window, 0xF060));  // SC_CLOSE stays the system's
  ASSERT_EQ(world.fake.dialogs.messageBoxes.size(), 3U);
  EXPECT_EQ(world.fake.dialogs.messageBoxes[0].text, "Please enter Client Directory");
  // A drive whose free space cannot be read fails the check (a warning box); with room, it goes ahead.
  const std::pair<const char*, std::uint32_t> verdicts[] = {
      {"The setup would not go ahead: checks failed: Free space on C:\\", DialogView::kIconWarning},
      {"The setup would go ahead", DialogView::kIconInformation}};
  for (std::size_t i = 0; i < 2; ++i) {
    const auto& box = world.fake.dialogs.messageBoxes[i + 1];
    EXPECT_EQ(box.owner, window);
    EXPECT_TRUE(box.text.starts_with("OK   Administrator rights: the setup runs elevated\n")) << box.text;
    EXPECT_TRUE(box.text.ends_with(std::string("\n\n") + verdicts[i].first)) << box.text;
    EXPECT_EQ(box.flags, verdicts[i].second);
  }
  // Only the session the OK would open is logged.
  EXPECT_EQ(world.Log(),
            "Server Setup:Establishing Session\r\nServer Setup:Established Session without Proxy:\r\n");

  // "What will change" shows the changes of the dialog's choices over the dialog, and makes none.
  world.fake.processes.AddProgram("c:\\NembricAIApp\\Update\\VC_redist.x64.exe", {});
  const std::vector<std::string> files = world.fake.files.FilePaths();
  const std::vector<std::string> registry = world.fake.registry.Dump();
  EXPECT_TRUE(world.program.dialog.OnSystemCommand(window, 0x20));
  ASSERT_EQ(world.fake.dialogs.messageBoxes.size(), 4U);
  const auto& plan = world.fake.dialogs.messageBoxes[3];
  EXPECT_EQ(plan.caption, "What will change");
  EXPECT_NE(plan.text.find("client\r\n  folder c:\\NembricAIApp\r\n"), std::string::npos) << plan.text;
  // A box no taller than the screen: the rest is for the command line.
  EXPECT_EQ(std::count(plan.text.begin(), plan.text.end(), '\n'), 40);
  EXPECT_TRUE(
      plan.text.ends_with(" more lines: NembricSetup.exe /plan with the same choices lists them all."))
      << plan.text;
  EXPECT_EQ(world.fake.files.FilePaths(), files);
  EXPECT_EQ(world.fake.registry.Dump(), registry);
  EXPECT_TRUE(world.fake.processes.starts.empty());

  QuietWorld maintenance;
  ASSERT_EQ(maintenance.Run(u"/uninstall"), 0xFFFFFFFFU);
  EXPECT_TRUE(
      maintenance.fake.dialogs.WindowOf(maintenance.program.reporter.dialogWindow).systemMenu.empty());
}
