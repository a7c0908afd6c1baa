#include "product/setup_log.h"

#include <gtest/gtest.h>

#include "product/setup_state.h"
#include "resources/resource.h"
#include "setup_world.h"

namespace {

constexpr char kLogInRoot[] = "C:\\Halvorn NembricAI  Setup v10.1.3.Log";

class SetupLogTest : public testing::Test, public SetupWorld {
 protected:
  SetupLogTest() { state.startDirectory = "C:\\"; }

  // A dialog showing, with the two controls that its initialisation adds.
  WindowHandle ShowDialog() {
    program.reporter.dialogWindow = fake.dialogs.AddWindow(IDD_SETUP, {IDC_STATUS_LINE, IDC_PROGRESS_BAR});
    return program.reporter.dialogWindow;
  }
  std::string StatusLine() {
    return fake.dialogs.ControlOf(program.reporter.dialogWindow, IDC_STATUS_LINE).text;
  }
  int ProgressBar() {
    return fake.dialogs.ControlOf(program.reporter.dialogWindow, IDC_PROGRESS_BAR).position;
  }
};

struct LineCase {
  LogTag tag;
  const char* text;
  std::optional<std::string_view> detail1;
  std::optional<std::string_view> detail2;
  const char* expected;
};

TEST(LogLine, PrefixTextDetailsAndLineEnd) {
  const LineCase cases[] = {
      {LogTag::userInterface,
       "Begin updating Software",
       {},
       {},
       "User Interface:Begin updating Software\r\n"},
      {LogTag::server,
       "Established Session with Proxy:",
       "proxy:8080",
       {},
       "Server Setup:Established Session with Proxy:;proxy:8080\r\n"},
      {LogTag::client, "Downloaded", "a.cab", "b", "Client Setup:Downloaded;a.cab;b\r\n"},
      {LogTag::sqlInstall, "x", "", {}, "SQL Server Install:x;\r\n"},
      {LogTag::sqlInstall, "x", "", "", "SQL Server Install:x;;\r\n"},
      {LogTag::client, "x", {}, "second", "Client Setup:x;second\r\n"},
  };
  for (const LineCase& c : cases) {
    EXPECT_EQ(FormatLogLine(c.tag, c.text, c.detail1, c.detail2), c.expected);
  }
}

TEST(LogLine, LongTextsAreNeverCut) {
  const std::string text(5000, 'x');
  const std::string detail(3000, 'y');
  const std::string line = FormatLogLine(LogTag::server, text, detail, detail);
  EXPECT_EQ(line.size(), std::string("Server Setup:").size() + 5000U + 3001U + 3001U + 2U);
  EXPECT_EQ(line.substr(line.size() - 5), "yyy\r\n");
}

TEST(LogPath, StartDirectoryWithoutTrailingBlanksAndOneBackslash) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\", kLogInRoot},
      {"C:\\Setup", "C:\\Setup\\Halvorn NembricAI  Setup v10.1.3.Log"},
      {"C:\\Setup\\", "C:\\Setup\\Halvorn NembricAI  Setup v10.1.3.Log"},
      {"C:\\Setup   ", "C:\\Setup\\Halvorn NembricAI  Setup v10.1.3.Log"},
      {"C:\\My Setup \\  ", "C:\\My Setup \\Halvorn NembricAI  Setup v10.1.3.Log"},
  };
  for (const auto& [start, expected] : cases) {
    EXPECT_EQ(LogFilePath(start), expected);
  }
}

// A file beside the log goes into the folder of /log=FILE, or the start directory.
TEST_F(SetupLogTest, AFileBesideTheLogIsInTheLogsFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "C:\\Setup\\x.log"},
      {"D:\\Logs\\nembric.log", "D:\\Logs\\x.log"},
      {"nembric.log", "C:\\Setup\\x.log"},
  };
  state.startDirectory = "C:\\Setup  ";
  for (const auto& [logPath, expected] : cases) {
    state.log.path = logPath;
    EXPECT_EQ(FileBesideLog(state, "x.log"), expected) << logPath;
  }
}

TEST_F(SetupLogTest, FirstLineCreatesTheLogAnewAndLaterLinesAppend) {
  fake.files.SetContent(kLogInRoot, "line of the previous run\r\n");
  EXPECT_EQ(WriteLog(state, LogTag::userInterface, "Begin updating Software"), 1);
  EXPECT_EQ(WriteLog(state, LogTag::server, "Established Session with Proxy:", "proxy"), 1);

  EXPECT_EQ(
      fake.files.Content(kLogInRoot),
      "User Interface:Begin updating Software\r\nServer Setup:Established Session with Proxy:;proxy\r\n");
  ASSERT_EQ(fake.files.creates.size(), 1U);
  const FakeFiles::CreateCall& create = fake.files.creates[0];
  EXPECT_EQ(create.access, Files::kGenericRead | Files::kGenericWrite);
  EXPECT_EQ(create.share, Files::kShareRead | Files::kShareWrite);
  EXPECT_EQ(create.disposition, Files::kCreateAlways);
  EXPECT_EQ(create.attributes, Files::kAttributeNormal);
  EXPECT_EQ(fake.files.OpenHandles(), 1U);  // kept open between lines
}

// A secret never reaches the log, the status line or standard output; the rest of the text stays.
TEST_F(SetupLogTest, SecretsAreMaskedInTheLogTheStatusLineAndStandardOutput) {
  ShowDialog();
  state.secrets = {"Pa55", ""};
  WriteLog(state, LogTag::server, "/SAPWD=Pa55  /ACTION", "Pa55Pa55");
  WriteOutput(state, "echo Pa55\n");
  EXPECT_EQ(fake.files.Content(kLogInRoot), "Server Setup:/SAPWD=********  /ACTION;****************\r\n");
  EXPECT_EQ(fake.runtime.standardOutput, "echo ********\n");
  EXPECT_EQ(fake.dialogs.controlTexts.back().second.find("Pa55"), std::string::npos);
}

TEST_F(SetupLogTest, StatusLineShowsTheWholeLineWithItsLineEnd) {
  ShowDialog();
  WriteLog(state, LogTag::client, "Downloading", "vcredist_x64.exe");
  EXPECT_EQ(StatusLine(), "Client Setup:Downloading;vcredist_x64.exe\r\n");
}

TEST_F(SetupLogTest, BeforeAnyDialogTheLineStillReachesTheLog) {
  EXPECT_EQ(WriteLog(state, LogTag::client, "early"), 1);
  EXPECT_EQ(fake.files.Content(kLogInRoot), "Client Setup:early\r\n");
}

TEST_F(SetupLogTest, ALogThatCannotBeCreatedIsNotTriedAgain) {
  fake.files.refusedPaths.insert(kLogInRoot);
  ShowDialog();
  EXPECT_EQ(WriteLog(state, LogTag::server, "one"), 1);
  EXPECT_EQ(WriteLog(state, LogTag::server, "two"), 1);
  EXPECT_FALSE(state.log.IsOpen());
  EXPECT_EQ(fake.files.creates.size(), 1U);
  EXPECT_EQ(StatusLine(), "Server Setup:two\r\n");
}

TEST_F(SetupLogTest, AClosedLogIsNeitherReopenedNorTruncated) {
  WriteLog(state, LogTag::userInterface, "Successfully updated Software");
  CloseLog(state);
  WriteLog(state, LogTag::userInterface, "after the end");
  EXPECT_EQ(fake.files.OpenHandles(), 0U);
  EXPECT_EQ(fake.files.Content(kLogInRoot), "User Interface:Successfully updated Software\r\n");
}

TEST_F(SetupLogTest, ShowInfoUsesTheProgramCaptionAndNoOwner) {
  EXPECT_EQ(ShowInfo(state, "Please enter Port Number"), 0);
  ASSERT_EQ(fake.dialogs.messageBoxes.size(), 1U);
  const auto& box = fake.dialogs.messageBoxes[0];
  EXPECT_EQ(box.owner, WindowHandle::none);
  EXPECT_EQ(box.text, "Please enter Port Number");
  EXPECT_EQ(box.caption, "Halvorn Nembric Version 10.1 App");
  EXPECT_EQ(box.flags, DialogView::kIconInformation);
}

TEST_F(SetupLogTest, ProgressFollowsDoneOverTotalTruncated) {
  ShowDialog();
  state.progressTotal = 46;
  state.progressDone = 0;
  const std::pair<double, int> weights[] = {{3, 6}, {3, 13}, {10, 34}, {5, 45}, {15, 78}, {10, 100}};
  for (const auto& [weight, position] : weights) {
    AdvanceProgress(state, weight);
    EXPECT_EQ(ProgressBar(), position) << "after adding " << weight;
  }
  EXPECT_DOUBLE_EQ(state.progressDone, 46);
}

TEST(ProgressPercent, StaysWithinTheBarWhateverTheWeights) {
  EXPECT_EQ(ProgressPercent(1, 3), 33);
  EXPECT_EQ(ProgressPercent(2, 3), 66);
  EXPECT_EQ(ProgressPercent(5, 0), 0);  // a run without a total yet
  EXPECT_EQ(ProgressPercent(0, 0), 0);
  EXPECT_EQ(ProgressPercent(60, 46), 100);
  EXPECT_EQ(ProgressPercent(-3, 46), 0);
}

TEST_F(SetupLogTest, FeatureProgressShowsPercentAndPaintsAtMultiplesOfFive) {
  const WindowHandle dialog = ShowDialog();
  struct Case {
    std::uint32_t current, total;
    const char* status;
    int updates;
  };
  const Case cases[] = {
      {2, 5, "Updating IIS Features:40 perc completed", 1},
      {1, 3, "Updating IIS Features:33 perc completed", 1},
      {0, 7, "Updating IIS Features:0 perc completed", 2},
      {7, 7, "Updating IIS Features:100 perc completed", 3},
      {3, 0, "Updating IIS Features:0 perc completed", 4},
  };
  int invalidations = 0;
  for (const Case& c : cases) {
    ReportFeatureProgress(state, c.current, c.total);
    ++invalidations;
    EXPECT_EQ(StatusLine(), c.status);
    EXPECT_EQ(fake.dialogs.WindowOf(dialog).erasingInvalidations, invalidations);
    EXPECT_EQ(fake.dialogs.WindowOf(dialog).updates, c.updates) << c.current << "/" << c.total;
  }
  EXPECT_EQ(state.featureProgressPercent, 0);
  EXPECT_FALSE(fake.files.Content(kLogInRoot).has_value());  // never logged
}

// A run without a window (quiet, or a passive one whose window could not be made) paints nothing: a
// repaint of no window would be one of every window on the desktop.
TEST_F(SetupLogTest, WithoutAWindowProgressPaintsNothing) {
  for (int percent = 0; percent <= 100; percent += 25) {
    ReportFeatureProgress(state, static_cast<std::uint32_t>(percent), 100);
    AdvanceProgress(state, 1);
  }
  EXPECT_EQ(fake.dialogs.desktopRepaints, 0);
}

}  // namespace
