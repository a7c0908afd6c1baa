#include <gtest/gtest.h>

#include "product/setup_state.h"
#include "setup_world.h"
#include "steps/actions/installer_run.h"

namespace {

constexpr char kLogPath[] = "C:\\Halvorn NembricAI  Setup v10.1.3.Log";

constexpr char kClientUpdate[] = "c:\\Nembric10App\\Update";
constexpr char kServerUpdate[] = "c:\\Program Files\\Halvorn\\NembricAI\\Update";

struct InstallerWorld : SetupWorld {
  InstallerWorld() { state.startDirectory = "C:\\"; }
  std::string Log() { return fake.files.Content(kLogPath).value_or(""); }
  ActionResult RunRuntime(const char* name = "vcredist_x64.exe") {
    return RunClientRuntimeInstaller(state, kClientUpdate, name);
  }
};

TEST(JudgeExitCode, RestartAndNewerRuntimeCountAsInstalled) {
  EXPECT_EQ(JudgeExitCode(0, false), InstallerOutcome::installed);
  EXPECT_EQ(JudgeExitCode(3010, false), InstallerOutcome::installedRestartNeeded);
  EXPECT_EQ(JudgeExitCode(1641, true), InstallerOutcome::installedRestartNeeded);
  EXPECT_EQ(JudgeExitCode(1638, true), InstallerOutcome::newerPresent);
  EXPECT_EQ(JudgeExitCode(1638, false), InstallerOutcome::failed);  // an MSI of another version is no success
  for (const std::uint32_t code : {1U, 1603U, 1618U, 0xC0000005U}) {
    EXPECT_EQ(JudgeExitCode(code, true), InstallerOutcome::failed) << code;
  }
}

TEST(ClientRuntimeInstaller, RunsSilentlyInItsDirectoryAndJudgesTheExitCode) {
  struct Case {
    std::uint32_t exitCode;
    bool installed;
    bool restart;
  };
  for (const Case& c :
       {Case{0, true, false}, Case{3010, true, true}, Case{1638, true, false}, Case{1, false, false}}) {
    InstallerWorld world;
    world.fake.processes.AddProgram("c:\\Nembric10App\\Update\\vcredist_x64.exe",
                                    {c.exitCode, nullptr, false, {}});
    const ActionResult result = world.RunRuntime();
    EXPECT_EQ(result, c.installed ? ActionResult::Done()
                                  : ActionResult::Failed("vcredist_x64.exe", c.exitCode,
                                                         "VC_redist exited with code 1"))
        << c.exitCode;
    EXPECT_EQ(world.state.restartNeeded, c.restart) << c.exitCode;
    ASSERT_EQ(world.fake.processes.starts.size(), 1U);
    const ProcessStart& start = world.fake.processes.starts[0];
    EXPECT_EQ(start.applicationName, "c:\\Nembric10App\\Update\\vcredist_x64.exe");
    // The program reads every switch: its own name is the command line's first word.
    EXPECT_EQ(world.fake.processes.Arguments(0),
              (std::vector<std::string>{"/install", "/quiet", "/norestart"}));
    EXPECT_FALSE(start.inheritHandles);
    EXPECT_EQ(start.currentDirectory, "c:\\Nembric10App\\Update");
    EXPECT_EQ(world.fake.processes.waits, std::vector<std::uint32_t>{Processes::kInfinite});
    EXPECT_EQ(world.fake.processes.OpenHandles(), 0U);
    if (c.installed) {
      EXPECT_TRUE(world.fake.dialogs.messageBoxes.empty());
    } else {
      ASSERT_EQ(world.fake.dialogs.messageBoxes.size(), 1U);
      EXPECT_EQ(world.fake.dialogs.messageBoxes[0].text, "VC_redist exited with code 1");
      EXPECT_EQ(world.fake.dialogs.messageBoxes[0].caption, "Installer");
      EXPECT_EQ(world.fake.dialogs.messageBoxes[0].flags, 0x30U);
      EXPECT_EQ(world.fake.dialogs.messageBoxes[0].owner, WindowHandle::none);
    }
  }
}

TEST(ClientRuntimeInstaller, AnUnreadableExitCodeCountsAsOne) {
  InstallerWorld world;
  world.fake.processes.AddProgram("c:\\Nembric10App\\Update\\vcredist_x64.exe", {0, nullptr, true, {}});
  EXPECT_FALSE(world.RunRuntime());
  EXPECT_EQ(world.fake.dialogs.messageBoxes.at(0).text, "VC_redist exited with code 1");
}

// Windows Installer comes from the system folder, never from a search that looks in the setup's folder and
// the update folder first; the package path reaches it whole although the folder has blanks.
TEST(ServerInstaller, MsiPackagesRunThroughTheSystemsMsiexec) {
  InstallerWorld world;
  world.fake.processes.AddProgram("C:\\Windows\\system32\\msiexec.exe", {1603, nullptr, false, {}});
  EXPECT_EQ(RunServerInstaller(world.state, kServerUpdate, "NembricISSetup.msi"),
            ActionResult::Failed(
                "msiexec.exe", 1603,
                "msiexec.exe /i \"c:\\Program Files\\Halvorn\\NembricAI\\Update\\NembricISSetup.msi\""));
  const ProcessStart& start = world.fake.processes.starts.at(0);
  EXPECT_EQ(start.applicationName, "C:\\Windows\\system32\\msiexec.exe");
  EXPECT_EQ(
      world.fake.processes.Arguments(0),
      (std::vector<std::string>{"/i", "c:\\Program Files\\Halvorn\\NembricAI\\Update\\NembricISSetup.msi",
                                "/quiet", "/norestart"}));
  EXPECT_EQ(start.currentDirectory, "c:\\Program Files\\Halvorn\\NembricAI\\Update");
  // The failure line quotes the command without switches or exit code.
  EXPECT_EQ(world.Log(),
            "Server Setup:msiexec.exe /i \"c:\\Program "
            "Files\\Halvorn\\NembricAI\\Update\\NembricISSetup.msi\"\r\n");
  EXPECT_TRUE(world.fake.dialogs.messageBoxes.empty());
}

TEST(ServerInstaller, ExeInstallersRunByPathAndRestartsSucceed) {
  InstallerWorld world;
  world.fake.processes.AddProgram("c:\\HNembricAI\\Update\\vcredist_x64.exe", {3010, nullptr, false, {}});
  EXPECT_TRUE(RunServerInstaller(world.state, "c:\\HNembricAI\\Update\\", "vcredist_x64.exe"));
  EXPECT_TRUE(world.state.restartNeeded);
  EXPECT_EQ(world.fake.processes.starts.at(0).applicationName, "c:\\HNembricAI\\Update\\vcredist_x64.exe");
  EXPECT_EQ(world.fake.processes.Arguments(0),
            (std::vector<std::string>{"/install", "/quiet", "/norestart"}));
  EXPECT_EQ(world.Log(), "");
}

TEST(ServerInstaller, AMissingInstallerReportsTheFailedStart) {
  InstallerWorld world;
  const ActionResult notFound = ActionResult::Failed(
      "CreateProcess", 2, "CreateProcess failed (2): The system cannot find the file specified.\r\n");
  EXPECT_EQ(RunServerInstaller(world.state, kServerUpdate, "sqlncli.msi"), notFound);  // no msiexec here
  EXPECT_EQ(world.RunRuntime("VC_redist.x64.exe"), notFound);
  const std::string line =
      "Server Setup:CreateProcess failed (2): The system cannot find the file specified.\r\n\r\n";
  EXPECT_EQ(world.Log(), line + line);
  EXPECT_TRUE(world.fake.dialogs.messageBoxes.empty());  // a program that never ran shows no exit code
}

TEST(ReportCreateProcessFailure, ErrorsWithoutSystemTextSaySo) {
  InstallerWorld world;
  ReportCreateProcessFailure(world.state, 123456);
  EXPECT_EQ(world.Log(), "Server Setup:CreateProcess failed (123456): (no message)\r\n");
}

}  // namespace
