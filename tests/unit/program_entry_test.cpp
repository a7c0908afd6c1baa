#include "run/program_entry.h"

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "run/command_line.h"
#include "setup_world.h"

namespace {

constexpr std::int32_t kComFailure = static_cast<std::int32_t>(0x80004005U);  // E_FAIL
constexpr int kShowNormal = 1;

class ProgramEntryTest : public testing::Test {
 protected:
  ProgramEntryTest() {
    fake.files.currentDirectory = "C:\\Setup";
    fake.files.AddDirectory("C:\\Setup");
  }

  std::uintptr_t Run(std::u16string_view commandLine) { return program.Run(commandLine, kShowNormal); }
  std::optional<std::string> Log() {
    return fake.files.Content("C:\\Setup\\Halvorn NembricAI  Setup v10.1.3.Log");
  }

  FakeMachine fake;
  Program program{fake.machine};
  SetupState& state = program.state;
};

struct DialogCase {
  const char16_t* commandLine;
  RunMode mode;
  int dialogId;
};

TEST_F(ProgramEntryTest, ChoosesTheDialogByRunMode) {
  const DialogCase cases[] = {
      {u"", RunMode::install, IDD_SETUP},
      {u"   ", RunMode::install, IDD_SETUP},
      {u"/uninstall /type=server", RunMode::uninstall, IDD_MAINTENANCE},
      {u"/repair /type=client", RunMode::repair, IDD_MAINTENANCE},
      {u"/modify /type=server", RunMode::modify | RunMode::modifyServer, IDD_SETUP},
      {u"/modify /type=client", RunMode::modify | RunMode::modifyClient, IDD_SETUP},
      {u"/Install", RunMode::none, IDD_SETUP},
  };
  for (const DialogCase& c : cases) {
    SetupWorld world;
    world.program.Run(c.commandLine, kShowNormal);
    EXPECT_EQ(world.state.runMode, c.mode);
    ASSERT_EQ(world.fake.dialogs.createdDialogs.size(), 1U);
    EXPECT_EQ(world.fake.dialogs.createdDialogs[0], c.dialogId);
  }
}

TEST_F(ProgramEntryTest, StartsComShowsTheDialogAndRunsTheLoop) {
  fake.dialogs.loopResult = 42;
  EXPECT_EQ(Run(u"/install"), 42U);

  EXPECT_EQ(state.startDirectory, "C:\\Setup");
  EXPECT_EQ(fake.runtime.comFlags, Runtime::kCoinitMultithreaded);
  EXPECT_EQ(fake.runtime.authenticationLevel, 2U);
  EXPECT_EQ(fake.runtime.impersonationLevel, 3U);
  ASSERT_NE(program.reporter.dialogWindow, WindowHandle::none);
  EXPECT_TRUE(fake.dialogs.WindowOf(program.reporter.dialogWindow).shown);
  EXPECT_EQ(fake.dialogs.WindowOf(program.reporter.dialogWindow).showCommand, kShowNormal);
  EXPECT_EQ(fake.dialogs.messageLoops, std::vector<int>{IDR_ACCELERATORS});
  EXPECT_EQ(fake.dialogs.keyboardDialogs,
            std::vector<WindowHandle>{WindowHandle::none});  // fields take the keys
  EXPECT_FALSE(Log().has_value());                           // a good start writes nothing
}

// The maintenance dialog has no fields of its own: Tab, Enter and Esc reach its buttons through the dialog
// manager.
TEST_F(ProgramEntryTest, TheMaintenanceDialogTakesTheDialogManagersKeys) {
  Run(u"/repair /type=client");
  ASSERT_NE(program.reporter.dialogWindow, WindowHandle::none);
  EXPECT_EQ(fake.dialogs.keyboardDialogs, std::vector<WindowHandle>{program.reporter.dialogWindow});
}

// With no window nothing could end the loop: the process would wait unseen for good, holding its turn.
TEST_F(ProgramEntryTest, ADialogThatCannotBeCreatedIsLoggedAndEndsTheProcess) {
  for (const char16_t* commandLine : {u"", u"/repair /type=client"}) {
    SetupWorld world;
    world.fake.files.currentDirectory = "C:\\Setup";
    world.fake.files.AddDirectory("C:\\Setup");
    world.fake.dialogs.refuseDialogs = true;
    try {
      world.program.Run(commandLine, kShowNormal);
      ADD_FAILURE() << "the process should have ended";
    } catch (const ProcessExit& exit) {
      EXPECT_EQ(exit.exitCode, kStartFailureExitCode);
    }
    EXPECT_EQ(world.program.reporter.dialogWindow, WindowHandle::none);
    EXPECT_TRUE(world.fake.dialogs.messageLoops.empty());
    EXPECT_EQ(world.fake.files.Content("C:\\Setup\\Halvorn NembricAI  Setup v10.1.3.Log"),
              "User Interface:The setup window cannot be created. Error code = 1814\r\n");
  }
}

TEST_F(ProgramEntryTest, FailedComStartLogsOneLineAndEndsWithoutDialog) {
  fake.runtime.comResult = kComFailure;
  try {
    Run(u"");
    FAIL() << "the process should have ended";
  } catch (const ProcessExit& exit) {
    EXPECT_EQ(exit.exitCode, kStartFailureExitCode);
  }
  EXPECT_EQ(Log(), "Client Setup:Failed to initialize COM library. Error code = 0x\r\n");
  EXPECT_EQ(fake.runtime.securityCalls, 0);
  EXPECT_TRUE(fake.dialogs.createdDialogs.empty());
  EXPECT_TRUE(fake.dialogs.messageLoops.empty());
  EXPECT_EQ(fake.files.OpenHandles(), 0U);
}

TEST_F(ProgramEntryTest, FailedSecurityStartLogsReleasesComAndEnds) {
  fake.runtime.securityResult = kComFailure;
  EXPECT_THROW(Run(u"/repair"), ProcessExit);
  EXPECT_EQ(Log(), "Client Setup:Failed to initialize security.Error code = 0x\r\n");
  EXPECT_EQ(fake.runtime.uninitializeCalls, 1);
  EXPECT_TRUE(fake.dialogs.createdDialogs.empty());
}

TEST_F(ProgramEntryTest, ComAlreadyStartedOnTheThreadIsNoFailure) {
  fake.runtime.comResult = 1;  // S_FALSE
  Run(u"");
  EXPECT_EQ(fake.dialogs.createdDialogs.size(), 1U);
}

TEST_F(ProgramEntryTest, StartDirectoryThatDoesNotFitStaysEmpty) {
  fake.files.currentDirectory = "C:\\" + std::string(300, 'd');
  Run(u"");
  EXPECT_TRUE(state.startDirectory.empty());
}

TEST(BoundedCommandLine, KeepsAtMost255BytesOfALongCommandLine) {
  FakeRuntime runtime;
  const std::u16string longLine = u"/repair " + std::u16string(992, u'x');
  ASSERT_EQ(longLine.size(), 1000U);
  const std::string bounded = BoundedCommandLine(runtime, longLine);
  EXPECT_EQ(bounded.size(), 255U);
  EXPECT_EQ(bounded.substr(0, 8), "/repair ");
  EXPECT_LE(runtime.longestConversion, 255U);
}

TEST(BoundedCommandLine, AKeywordBeyondTheBufferIsNotSeen) {
  SetupWorld world;
  world.program.Run(std::u16string(300, u' ') + u"/uninstall", kShowNormal);
  EXPECT_EQ(world.state.runMode, RunMode::install);  // what fits is blank
}

TEST(BoundedCommandLine, CutsCharactersOfSeveralBytesWhole) {
  FakeRuntime runtime;
  const std::u16string line = u"a" + std::u16string(200, u'\x3042');
  const std::string bounded = BoundedCommandLine(runtime, line);
  EXPECT_EQ(bounded.size(), 253U);  // "a" and 84 characters of three bytes each
  EXPECT_EQ(bounded.substr(250), "\xE3\x81\x82");
}

TEST(BoundedCommandLine, NeverSplitsASurrogatePair) {
  FakeRuntime runtime;
  std::u16string line(254, u'x');
  line += u"\xD83D\xDE00";  // the pair straddles the 255th unit
  const std::string bounded = BoundedCommandLine(runtime, line);
  EXPECT_EQ(bounded, std::string(254, 'x'));
}

}  // namespace

namespace {

struct SourceCase {
  const char16_t* commandLine;
  const char* host;
  RunMode mode;
};

TEST(DownloadSource, SwitchNamesTheHostWithoutTouchingTheRunMode) {
  const SourceCase cases[] = {
      {u"", kDefaultDownloadHost, RunMode::install},
      {u"/source=localhost", "localhost", RunMode::install},
      {u"/repair /type=client /source=localhost", "localhost", RunMode::repair},
      {u"/source=localhost /modify /type=server", "localhost", RunMode::modify | RunMode::modifyServer},
      // Keywords inside the host name are not keywords of the command line.
      {u"/source=reinstall-server.example", "reinstall-server.example", RunMode::install},
      {u"/modify /source=client.example", "client.example", RunMode::modify},
      {u"/source=uninstall.example /repair", "uninstall.example", RunMode::repair},
      // A host that is no host name keeps the default; its text is still not read as keywords.
      {u"/source=bad\\uninstall /repair", kDefaultDownloadHost, RunMode::repair},
      {u"/source= /repair", kDefaultDownloadHost, RunMode::repair},
      {u"/Source=localhost", kDefaultDownloadHost, RunMode::none},
  };
  for (const SourceCase& c : cases) {
    SetupWorld world;
    world.program.Run(c.commandLine, kShowNormal);
    EXPECT_EQ(world.state.downloadHost, c.host);
    EXPECT_EQ(world.state.runMode, c.mode);
  }
}

TEST(DownloadSource, HostLongerThanItsFieldIsRefused) {
  const std::string longHost(260, 'h');
  EXPECT_EQ(SplitSourceSwitch("/source=" + longHost, 259).host, std::nullopt);
  EXPECT_EQ(SplitSourceSwitch("/source=" + longHost.substr(0, 259), 259).host, longHost.substr(0, 259));
  EXPECT_EQ(SplitSourceSwitch("a /source=h b", 259).rest, "a  b");
}

}  // namespace

// A folder or share names an offline layout; what is no folder a path could be is neither folder nor host.
TEST(DownloadSource, SwitchNamesALayoutFolderOrShare) {
  const struct {
    const char* commandLine;
    const char* folder;
    const char* rest;
  } cases[] = {
      {"/source=D:\\Media /quiet", "D:\\Media", " /quiet"},
      {"/source=D:\\Media\\\\", "D:\\Media", ""},
      {"/source=D:\\", "D:\\", ""},
      {"/source=\\\\fileserver\\nembric\\install", "\\\\fileserver\\nembric\\install", ""},
      {"/source=\"E:\\Deploy Media\\uninstall\" /repair", "E:\\Deploy Media\\uninstall", " /repair"},
      {"/source=Media\\x", nullptr, ""},
      {"/source=D:Media", nullptr, ""},
      {"/source=D:\\Media\\..\\Windows", nullptr, ""},
      {"/source=\\\\?\\D:\\Media", nullptr, ""},
      {"/source=D:\\Me*dia", nullptr, ""},
      {"/source=D:\\Media:stream", nullptr, ""},
  };
  for (const auto& c : cases) {
    const SourceSwitch source = SplitSourceSwitch(c.commandLine, 259);
    EXPECT_EQ(source.folder, c.folder ? std::optional<std::string>(c.folder) : std::nullopt) << c.commandLine;
    EXPECT_EQ(source.host, std::nullopt) << c.commandLine;
    EXPECT_EQ(source.rest, c.rest) << c.commandLine;
  }
}

namespace {

// A share the signed-in user mapped to a letter is not there for the elevated setup: /source= naming it ends
// the run as any folder without a layout does, with a line that says why and what to name instead.
TEST_F(ProgramEntryTest, ASourceOnADriveMappedForTheUserOnlyIsNamedAsSuch) {
  try {
    Run(u"/quiet /source=Z:\\Media");
    FAIL() << "the process should have ended";
  } catch (const ProcessExit& exit) {
    EXPECT_EQ(exit.exitCode, 87U);
  }
  EXPECT_NE(
      Log().value_or("").find("User Interface:Z:\\Media is on Z:, a drive mapped for the signed-in user "
                              "only, which the elevated setup does not see: name it by its share, "
                              "\\\\server\\share\\...\r\n"),
      std::string::npos)
      << Log().value_or("");
}

// The pre-flight check changes nothing, its log included: the last run's lines, or those of a setup still
// running from the same folder, stay, and the check's own lines follow them.
TEST_F(ProgramEntryTest, ACheckAddsToTheLogAndNeverStartsItAnew) {
  const std::string earlier = "User Interface:Begin updating Software\r\n";
  fake.files.SetContent("C:\\Setup\\Halvorn NembricAI  Setup v10.1.3.Log", earlier);
  fake.runtime.anotherInstance = true;
  EXPECT_THROW(Run(u"/check"), ProcessExit);
  const std::string log = Log().value_or("");
  EXPECT_TRUE(log.starts_with(earlier)) << log;
  EXPECT_NE(log.find("Check:"), std::string::npos) << log;
}

}  // namespace
