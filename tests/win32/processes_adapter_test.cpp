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

namespace {

constexpr UINT kAsk = WM_USER + 1;

LRESULT CALLBACK AnsweringProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return message == kAsk ? 42 : DefWindowProcW(window, message, wParam, lParam);
}

struct Asking {
  HWND window = nullptr;
  bool answered = false;
};

DWORD WINAPI AskWhileWaited(LPVOID parameter) {
  auto* asking = static_cast<Asking*>(parameter);
  Sleep(300);
  DWORD_PTR result = 0;
  asking->answered =
      SendMessageTimeoutW(asking->window, kAsk, 0, 0, SMTO_BLOCK, 1000, &result) != 0 && result == 42;
  return 0;
}

// While the setup waits for an installer, its window answers what other programs send it (an installer's
// WM_SETTINGCHANGE broadcast waits for every top-level window): the wait does not hold them up. A wait with
// a limit still ends at it.
TEST(Win32Processes, TheWindowsOfTheWaitingThreadKeepAnswering) {
  const WNDCLASSW windowClass{
      0,       AnsweringProcedure,     0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr,
      nullptr, L"NembricAnsweringTest"};
  RegisterClassW(&windowClass);
  Asking asking;
  asking.window = CreateWindowW(L"NembricAnsweringTest", L"", 0, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(asking.window, nullptr);
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string cmd = std::string(system) + "\\cmd.exe";
  Win32Processes processes;
  std::uint32_t error = 0;
  const ProcessHandle process =
      processes.Create({cmd, "\"" + cmd + "\" /c ping -n 3 127.0.0.1 >nul", system}, error);
  ASSERT_NE(process, ProcessHandle::none) << error;
  const HANDLE asker = CreateThread(nullptr, 0, AskWhileWaited, &asking, 0, nullptr);
  ASSERT_NE(asker, nullptr);
  EXPECT_EQ(processes.Wait(process, 100), Processes::kWaitTimeout);
  EXPECT_EQ(processes.Wait(process, Processes::kInfinite), Processes::kWaitObject0);
  WaitForSingleObject(asker, INFINITE);
  CloseHandle(asker);
  processes.Close(process);
  DestroyWindow(asking.window);
  EXPECT_TRUE(asking.answered);
}

}  // namespace
