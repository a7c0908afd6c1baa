#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/win32/win32_dialog_view.h"
#include "resources/resource.h"

namespace {

struct RecordingEvents final : DialogEvents {
  bool OnInitDialog(WindowHandle dialog) override {
    initialised = dialog;
    return true;
  }
  bool OnCommand(WindowHandle /*dialog*/, int controlId, int notifyCode) override {
    commands.emplace_back(controlId, notifyCode);
    return true;
  }
  BrushHandle OnControlColour(ColourMessage /*message*/, DeviceContext /*context*/) override {
    return BrushHandle::none;
  }
  bool OnSystemCommand(WindowHandle /*dialog*/, int command) override {
    systemCommands.push_back(command);
    return command == kOwnCommand;
  }
  static constexpr int kOwnCommand = 0x10;
  WindowHandle initialised = WindowHandle::none;
  std::vector<std::pair<int, int>> commands;
  std::vector<int> systemCommands;
};

HWND ToWindow(WindowHandle window) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

class Win32DialogViewTest : public testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
  }
  void TearDown() override {
    for (const WindowHandle window : created_) {
      DestroyWindow(ToWindow(window));
    }
  }
  WindowHandle Create(int resourceId) {
    const WindowHandle window = view.CreateDialogWindow(resourceId, events);
    created_.push_back(window);
    return window;
  }

  Win32DialogView view{GetModuleHandleW(nullptr)};
  RecordingEvents events;

 private:
  std::vector<WindowHandle> created_;
};

TEST_F(Win32DialogViewTest, CreatesBothDialogsFromTheirResources) {
  const std::pair<int, const wchar_t*> dialogs[] = {{IDD_SETUP, L"Halvorn NembricAI Universal Setup"},
                                                    {IDD_MAINTENANCE, L"Uninstall, Modify or Repair"}};
  for (const auto& [id, caption] : dialogs) {
    const WindowHandle window = Create(id);
    ASSERT_NE(window, WindowHandle::none) << id;
    EXPECT_EQ(events.initialised, window);
    EXPECT_EQ(TextOf(ToWindow(window)), caption);
    EXPECT_EQ(GetParent(ToWindow(window)), nullptr);  // no owner
    EXPECT_FALSE(IsWindowVisible(ToWindow(window)));
    view.ShowWindow(window, SW_SHOWNORMAL);
    EXPECT_TRUE(IsWindowVisible(ToWindow(window)));
  }
}

TEST_F(Win32DialogViewTest, CommandsReachTheDialogLogic) {
  const WindowHandle window = Create(IDD_SETUP);
  // The combo boxes report their own notifications as they are made; the press comes last.
  SendMessageW(ToWindow(window), WM_COMMAND, MAKEWPARAM(IDC_DARK_MODE, BN_CLICKED), 0);
  ASSERT_FALSE(events.commands.empty());
  EXPECT_EQ(events.commands.back(), std::make_pair(IDC_DARK_MODE, static_cast<int>(BN_CLICKED)));
}

// An item of the window menu reaches the logic as its command, without the low bits Windows keeps.
TEST_F(Win32DialogViewTest, TheWindowMenuTakesAnItemWhoseCommandReachesTheLogic) {
  const WindowHandle dialog = Create(IDD_SETUP);
  ASSERT_TRUE(view.AddSystemMenuItem(dialog, RecordingEvents::kOwnCommand, "&Pre-flight check..."));
  char text[64] = {};
  GetMenuStringA(GetSystemMenu(ToWindow(dialog), FALSE), RecordingEvents::kOwnCommand, text, sizeof text,
                 MF_BYCOMMAND);
  EXPECT_STREQ(text, "&Pre-flight check...");
  SendMessageW(ToWindow(dialog), WM_SYSCOMMAND, RecordingEvents::kOwnCommand | 0x3, 0);
  EXPECT_EQ(events.systemCommands, std::vector<int>{RecordingEvents::kOwnCommand});
}

TEST_F(Win32DialogViewTest, StatusLineAndProgressBar) {
  const WindowHandle window = Create(IDD_SETUP);
  const HWND dialog = ToWindow(window);
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 16, 10, 300, 22, dialog,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_LINE)), instance, nullptr);
  const HWND bar =
      CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 16, 40, 300, 18, dialog,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS_BAR)), instance, nullptr);
  ASSERT_NE(bar, nullptr);

  EXPECT_TRUE(view.SetControlText(window, IDC_STATUS_LINE, "Server Setup:Downloaded;HNbx.cab\r\n"));
  EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_STATUS_LINE)), L"Server Setup:Downloaded;HNbx.cab\r\n");
  EXPECT_FALSE(view.SetControlText(window, 4242, "no such control"));

  view.SetProgressPosition(window, IDC_PROGRESS_BAR, 34);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 34);

  EXPECT_TRUE(view.InvalidateWindow(window, true));
  EXPECT_TRUE(view.UpdateWindow(window));
  EXPECT_FALSE(view.SetControlText(WindowHandle::none, IDC_STATUS_LINE, "before any dialog"));
}

TEST_F(Win32DialogViewTest, MessageBoxReturnsTheAnswer) {
  std::atomic<bool> answered{false};
  std::wstring seenText;
  std::thread person([&] {
    for (int tries = 0; tries < 200 && !answered; ++tries) {
      if (const HWND box = FindWindowW(L"#32770", L"Halvorn Nembric v 10.1")) {
        seenText = TextOf(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
        answered = true;
      }
      Sleep(50);
    }
  });
  const int answer = view.ShowMessageBox(
      WindowHandle::none, "Do you want to Cancel", "Halvorn Nembric v 10.1",
      DialogView::kYesNoCancel | DialogView::kIconInformation | DialogView::kDefaultButton2);
  person.join();
  ASSERT_TRUE(answered);
  EXPECT_EQ(answer, DialogView::kAnswerNo);
  EXPECT_EQ(seenText, L"Do you want to Cancel");
}

TEST_F(Win32DialogViewTest, MessageLoopEndsWithTheQuitCode) {
  PostQuitMessage(7);
  EXPECT_EQ(view.RunMessageLoop(IDR_ACCELERATORS, WindowHandle::none), 7U);
}

TEST(Win32Resources, AcceleratorTableSendsCommand104ForAltQuestionMarkAndAltSlash) {
  const HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS));
  ASSERT_NE(table, nullptr);
  ACCEL entries[4] = {};
  ASSERT_EQ(CopyAcceleratorTableW(table, entries, 4), 2);
  for (const ACCEL& entry : {entries[0], entries[1]}) {
    EXPECT_EQ(entry.cmd, IDM_ABOUT);
    EXPECT_EQ(entry.fVirt & (FALT | FVIRTKEY), FALT);
  }
  EXPECT_EQ(entries[0].key, '?');
  EXPECT_EQ(entries[1].key, '/');
  DestroyAcceleratorTable(table);
}

}  // namespace
