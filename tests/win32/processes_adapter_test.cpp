#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "adapter_test_paths.h"
#include "platform/win32/win32_processes.h"

namespace {

// The installer stand-in of the package set, copied under a redistributable's name into a temporary folder.
TEST(Win32Processes, RunsAnInstallerInItsFolderAndReadsItsExitCode) {
  const std::string standin = TestsDirectory() + "\\e2e\\packages\\bin\\standin_installer.exe";
  const std::string folder = TempPath("Nembric Installer Test");
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string installer = folder + "\\vcredist_x32.exe";
  ASSERT_TRUE(CopyFileA(standin.c_str(), installer.c_str(), FALSE)) << standin;
  CreateDirectoryA("C:\\NembricTest", nullptr);
  DeleteFileA("C:\\NembricTest\\vcredist_x32.log");
  std::ofstream("C:\\NembricTest\\vcredist_x32.exitcode") << "3010";

  Win32Processes processes;
  std::uint32_t error = 0;
  const ProcessHandle process = processes.Create({installer, "/install /quiet /norestart", folder}, error);
  ASSERT_NE(process, ProcessHandle::none) << error;
  EXPECT_EQ(processes.Wait(process, Processes::kInfinite), Processes::kWaitObject0);
  EXPECT_EQ(processes.ExitCode(process), 3010U);
  processes.Close(process);

  std::ifstream log("C:\\NembricTest\\vcredist_x32.log");
  std::stringstream recorded;
  recorded << log.rdbuf();
  EXPECT_NE(recorded.str().find("/install /quiet /norestart|" + folder), std::string::npos) << recorded.str();
  DeleteFileA("C:\\NembricTest\\vcredist_x32.exitcode");
  DeleteFileA(installer.c_str());
}

TEST(Win32Processes, AMissingProgramGivesTheSystemsErrorAndText) {
  Win32Processes processes;
  std::uint32_t error = 0;
  EXPECT_EQ(
      processes.Create({"C:\\no such folder\\vcredist_x64.exe", "/install /quiet /norestart", "C:\\"}, error),
      ProcessHandle::none);
  EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << error;
  const std::optional<std::string> text = processes.SystemMessage(ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(text.has_value());
  EXPECT_FALSE(text->empty());
  EXPECT_EQ(processes.SystemMessage(0x2FFFFFFF), std::nullopt);
}

}  // namespace
