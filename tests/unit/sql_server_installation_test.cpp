#include <gtest/gtest.h>

#include <algorithm>

#include "setup_world.h"

namespace {

constexpr char kLogPath[] = "C:\\Halvorn NembricAI  Setup v10.1.3.Log";
constexpr std::uint64_t kGiB = 1024ULL * 1024 * 1024;
constexpr char kPassword[] = "Nemb1c$x";
constexpr char kSetup[] = "C:\\HNembricAI\\Update\\SQLEXPR_x64_ENU.exe";

struct SqlWorld : SetupWorld {
  SqlWorld() {
    state.startDirectory = "C:\\";
    state.choices.serverDirectory = "C:\\HNembricAI\\";
    state.choices.sqlPassword = kPassword;
    state.secrets.push_back(kPassword);
  }
  std::string Log() { return fake.files.Content(kLogPath).value_or(""); }
  SqlServerSetup& sql = steps.sql;
};

TEST(ChooseDataDrive, TakesTheFixedDriveWithTheMostFreeSpace) {
  struct Case {
    std::map<char, std::uint32_t> drives;
    std::map<char, std::uint64_t> free;
    const char* chosen;
  };
  const std::vector<Case> cases = {
      {{{'C', Files::kDriveFixed}, {'D', Files::kDriveFixed}}, {{'C', 50 * kGiB}, {'D', 200 * kGiB}}, "D:\\"},
      {{{'C', Files::kDriveFixed}, {'D', Files::kDriveFixed}}, {{'C', 80 * kGiB}, {'D', 60 * kGiB}}, "C:\\"},
      {{{'C', Files::kDriveFixed}, {'D', Files::kDriveFixed}}, {{'C', 70 * kGiB}, {'D', 70 * kGiB}}, "C:\\"},
      // Network (4) and DVD (5) drives are never chosen, however much they hold.
      {{{'C', Files::kDriveFixed}, {'N', 4}, {'E', 5}},
       {{'C', 1 * kGiB}, {'N', 900 * kGiB}, {'E', 900 * kGiB}},
       "C:\\"},
      {{{'N', 4}}, {{'N', 900 * kGiB}}, ""},
      {{{'C', Files::kDriveFixed}}, {}, ""},
      // Every letter a drive: all are weighed.
      {[] {
         std::map<char, std::uint32_t> all;
         for (char letter = 'A'; letter <= 'Z'; ++letter) {
           all[letter] = Files::kDriveFixed;
         }
         return all;
       }(),
       {{'C', 10 * kGiB}, {'Y', 20 * kGiB}, {'Z', 30 * kGiB}},
       "Z:\\"},
  };
  for (const Case& c : cases) {
    SqlWorld world;
    world.fake.files.drives = c.drives;
    world.fake.files.driveFreeBytes = c.free;
    EXPECT_TRUE(world.sql.ChooseDataDrive());
    EXPECT_EQ(world.sql.dataDrive, c.chosen);
  }
}

TEST(BuildSqlSetupArguments, IsTheUnattendedCommandLineByteForByte) {
  for (const std::int32_t defaultInstance : {0, 1}) {
    SqlWorld world;
    world.fake.files.drives = {{'C', Files::kDriveFixed}, {'D', Files::kDriveFixed}};
    world.fake.files.driveFreeBytes = {{'C', 10 * kGiB}, {'D', 20 * kGiB}};
    world.sql.defaultInstanceFound = defaultInstance;
    EXPECT_EQ(
        world.sql.BuildSqlSetupArguments(kPassword),
        std::string(" /QS /IACCEPTSQLSERVERLICENSETERMS /SUPPRESSPRIVACYSTATEMENTNOTICE  /FEATURES=SQLEngine "
                    "/SECURITYMODE=SQL /SAPWD=Nemb1c$x  /ACTION=install /INSTANCENAME=") +
            (defaultInstance == 0 ? "MSSQLSERVER" : "SQL19Express") +
            " /SQLUSERDBDIR=D:\\\\sqldata\\ /SQLBACKUPDIR=D:\\\\sqlbackup\\");
  }
}

TEST(InstallSqlServer, RunsTheSetupAndLogsAllItsOutputWithoutThePassword) {
  SqlWorld world;
  world.fake.files.driveFreeBytes = {{'C', 10 * kGiB}};
  // The setup echoes the password once and writes more than two chunks between two polls: what is left
  // in the pipe when it ends is logged too.
  world.fake.processes.AddProgram(
      kSetup, {0, nullptr, false, {"Starting " + std::string(kPassword) + "\n", std::string(600, 'a')}});
  EXPECT_TRUE(world.sql.InstallSqlServer());
  ASSERT_EQ(world.fake.processes.starts.size(), 1U);
  const ProcessStart& start = world.fake.processes.starts[0];
  EXPECT_EQ(start.applicationName, kSetup);
  EXPECT_TRUE(start.commandLine.starts_with("\"" + std::string(kSetup) + "\"  /QS "));
  EXPECT_NE(start.commandLine.find("/SAPWD=Nemb1c$x  /ACTION"), std::string::npos);
  EXPECT_EQ(start.currentDirectory, "C:\\HNembricAI\\Update");
  EXPECT_TRUE(start.inheritHandles);
  EXPECT_EQ(world.Log(),
            std::string("Server Setup:\"") + kSetup +
                "\"  /QS /IACCEPTSQLSERVERLICENSETERMS /SUPPRESSPRIVACYSTATEMENTNOTICE  /FEATURES=SQLEngine "
                "/SECURITYMODE=SQL /SAPWD=********  /ACTION=install /INSTANCENAME=MSSQLSERVER "
                "/SQLUSERDBDIR=C:\\\\sqldata\\ /SQLBACKUPDIR=C:\\\\sqlbackup\\\r\n"
                "Server Setup:Starting ********\n\r\n"
                "Server Setup:" +
                std::string(255, 'a') + "\r\nServer Setup:" + std::string(255, 'a') + "\r\nServer Setup:" +
                std::string(90, 'a') + "\r\n" + "SQL Server Install:Installed SQL Server\r\n");
  EXPECT_EQ(world.fake.processes.OpenPipeEnds(), 0U);
  EXPECT_EQ(world.fake.processes.OpenHandles(), 0U);
}

// A setup that is missing, or whose working directory or command line would not fit the setup's widths
// (255 and 511 characters), is not started: one line, nothing cut.
TEST(InstallSqlServer, ASetupThatCannotStartIsOneLine) {
  struct Case {
    std::size_t directoryChars;
    std::size_t passwordChars;
    bool present;
  };
  for (const Case& c : {Case{10, 8, false}, Case{251, 8, true}, Case{235, 63, true}}) {
    SqlWorld world;
    world.fake.files.driveFreeBytes = {{'C', 10 * kGiB}};
    const std::string directory = "C:\\" + std::string(c.directoryChars - 4, 'd') + "\\";
    const std::string password(c.passwordChars, 'p');
    world.state.choices.serverDirectory = directory;
    world.state.choices.sqlPassword = password;
    world.state.secrets = {password};
    if (c.present) {
      world.fake.processes.AddProgram(directory + "Update\\SQLEXPR_x64_ENU.exe", {});
    }
    // A program that is not there fails to start (ERROR_FILE_NOT_FOUND); one beyond the widths is not tried.
    EXPECT_EQ(world.sql.InstallSqlServer(),
              ActionResult::Failed("CreateProcess", c.present ? 206 : 2, "CreateProcess failed"))
        << c.directoryChars;
    EXPECT_TRUE(world.Log().ends_with("Server Setup:CreateProcess failed\r\n")) << c.directoryChars;
    if (c.present) {
      // Beyond the widths nothing is started and the command line is not logged.
      EXPECT_TRUE(world.fake.processes.starts.empty()) << c.directoryChars;
      EXPECT_EQ(world.Log(), "Server Setup:CreateProcess failed\r\n") << c.directoryChars;
    }
    EXPECT_EQ(world.fake.processes.OpenPipeEnds(), 0U);
  }
}

// The setup in a folder with blanks, as the offered "c:\Program Files\Halvorn\NembricAI\" is, is started by
// its path and reads every option whole, the password too, whatever it holds; the log masks it.
TEST(InstallSqlServer, EveryOptionReachesTheSetupWhole) {
  for (const std::string password : {"Nemb1c$x", "two  words", "quote\"inside", "ends\\", "back\\\"slash"}) {
    SqlWorld world;
    world.fake.files.driveFreeBytes = {{'C', 10 * kGiB}};
    world.state.choices.serverDirectory = "c:\\Program Files\\Halvorn\\NembricAI\\";
    world.state.choices.sqlPassword = password;
    world.state.secrets = {password};
    world.fake.processes.AddProgram("c:\\Program Files\\Halvorn\\NembricAI\\Update\\SQLEXPR_x64_ENU.exe", {});
    EXPECT_TRUE(world.sql.InstallSqlServer()) << password;
    const std::vector<std::string> arguments = world.fake.processes.Arguments(0);
    ASSERT_EQ(arguments.size(), 10U) << password;
    EXPECT_EQ(arguments[0], "/QS");
    EXPECT_EQ(arguments[5], "/SAPWD=" + password);
    EXPECT_EQ(arguments[6], "/ACTION=install");
    EXPECT_EQ(world.Log().find(password), std::string::npos) << password;
  }
}

// A chatty setup fills the pipe (about 4 KiB) faster than one chunk a poll takes out: each poll empties it,
// so the setup never waits for the setup program, and every byte reaches the log.
TEST(InstallSqlServer, EachPollEmptiesThePipe) {
  SqlWorld world;
  world.fake.files.driveFreeBytes = {{'C', 10 * kGiB}};
  const std::size_t bytes = std::size_t{40} * 1024;
  world.fake.processes.AddProgram(kSetup, {0, nullptr, false, {std::string(bytes, 'z')}});
  EXPECT_TRUE(world.sql.InstallSqlServer());
  EXPECT_LE(world.fake.processes.waits.size(), bytes / FakeProcesses::kPipeBytes + 2);
  const std::string log = world.Log();
  EXPECT_EQ(static_cast<std::size_t>(std::count(log.begin(), log.end(), 'z')), bytes);
}

}  // namespace
