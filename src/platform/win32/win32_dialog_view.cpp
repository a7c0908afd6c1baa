#include "platform/win32/win32_dialog_view.h"

#include <windows.h>

#include <commctrl.h>

#include "platform/win32/unique_handle.h"

namespace {

// The dialog logic of the one dialog this process shows. The program has one thread, so the procedure
// finds it here rather than through the creation parameter, which stays 0.
DialogEvents* g_dialogEvents = nullptr;

HWND ToWindow(WindowHandle window) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

WindowHandle FromWindow(HWND window) {
  return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window));
}

// The dialog procedure of both dialogs: it only translates messages for the dialog logic.
INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  if (g_dialogEvents == nullptr) {
    return FALSE;
  }
  switch (message) {
    case WM_INITDIALOG:
      return g_dialogEvents->OnInitDialog(FromWindow(dialog)) ? TRUE : FALSE;
    case WM_COMMAND:
      return g_dialogEvents->OnCommand(FromWindow(dialog), LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    default:
      return FALSE;
  }
}

using unique_accelerators = unique_handle<HACCEL, DestroyAcceleratorTable>;

}  // namespace

static_assert(DialogView::kYesNoCancel == MB_YESNOCANCEL &&
              DialogView::kIconInformation == MB_ICONINFORMATION);
static_assert(DialogView::kIconError == MB_ICONERROR && DialogView::kDefaultButton2 == MB_DEFBUTTON2);
static_assert(DialogView::kAnswerYes == IDYES && DialogView::kAnswerNo == IDNO);
static_assert(DialogView::kAnswerCancel == IDCANCEL && DialogView::kAnswerOk == IDOK);

WindowHandle Win32DialogView::CreateDialogWindow(int resourceId, DialogEvents& events) {
  g_dialogEvents = &events;
  return FromWindow(CreateDialogParamA(instance_, MAKEINTRESOURCEA(resourceId), nullptr, SetupDialogProc, 0));
}

void Win32DialogView::ShowWindow(WindowHandle window, int showCommand) {
  // The result tells whether the window was visible before, not whether the call worked.
  ::ShowWindow(ToWindow(window), showCommand);
}

bool Win32DialogView::SetControlText(WindowHandle dialog, int controlId, const std::string& text) {
  return SetDlgItemTextA(ToWindow(dialog), controlId, text.c_str()) != FALSE;
}

void Win32DialogView::SetProgressPosition(WindowHandle dialog, int controlId, int position) {
  SendDlgItemMessageA(ToWindow(dialog), controlId, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

bool Win32DialogView::InvalidateWindow(WindowHandle window, bool erase) {
  return InvalidateRect(ToWindow(window), nullptr, erase ? TRUE : FALSE) != FALSE;
}

bool Win32DialogView::UpdateWindow(WindowHandle window) {
  return ::UpdateWindow(ToWindow(window)) != FALSE;
}

WindowHandle Win32DialogView::ActiveWindow() {
  return FromWindow(GetActiveWindow());
}

int Win32DialogView::ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                                    std::uint32_t flags) {
  return MessageBoxA(ToWindow(owner), text.c_str(), caption.c_str(), flags);
}

std::uintptr_t Win32DialogView::RunMessageLoop(int acceleratorTableId) {
  const unique_accelerators accelerators(LoadAcceleratorsA(instance_, MAKEINTRESOURCEA(acceleratorTableId)));
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorA(message.hwnd, accelerators.get(), &message) == 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return message.wParam;
}
