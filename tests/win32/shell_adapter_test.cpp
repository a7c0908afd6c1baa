#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "platform/win32/win32_shell.h"

namespace {

// The folder dialog set up, shown from the apartment the setup's dialog thread runs in, and answered by a
// person on another thread who types a folder and confirms it.
TEST(Win32Shell, FolderDialogPicksTheFolderThePersonConfirms) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  {
    Win32Shell shell;
    std::unique_ptr<FolderDialog> dialog;
    ASSERT_EQ(shell.CreateFolderDialog(dialog), S_OK);
    EXPECT_EQ(dialog->AddOptions(0x868), S_OK);
    EXPECT_EQ(dialog->SetTitle(u"Select Nembric installation folder"), S_OK);
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string folder(windows);
    EXPECT_NE(dialog->SetInitialFolder(u"Q:\\no such folder"), S_OK);
    EXPECT_EQ(dialog->SetInitialFolder(std::u16string(folder.begin(), folder.end())), S_OK);

    std::atomic<bool> answered{false};
    std::thread person([&] {
      for (int tries = 0; tries < 200 && !answered; ++tries) {
        const HWND picker = FindWindowW(nullptr, L"Select Nembric installation folder");
        if (picker != nullptr && IsWindowVisible(picker)) {
          Sleep(300);
          const std::wstring typed(folder.begin(), folder.end());
          SendMessageW(GetDlgItem(picker, 1152), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
          PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
          answered = true;
        }
        Sleep(50);
      }
    });
    const HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                       100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    const HRESULT shown = dialog->Show(static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(owner)));
    std::printf("shown %lx\n", static_cast<unsigned long>(shown));
    person.join();
    EXPECT_TRUE(answered);
    EXPECT_EQ(shown, S_OK);
    std::u16string picked;
    EXPECT_EQ(dialog->ResultPath(picked), S_OK);
    EXPECT_FALSE(picked.empty());
  }
  CoUninitialize();
}

}  // namespace
