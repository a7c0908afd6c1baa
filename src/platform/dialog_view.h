#pragma once

#include <cstdint>
#include <string>

#include "platform/handles.h"

// What the dialog procedure hands to the system's dialog logic. The Windows plumbing turns window
// messages into these calls; the logic decides what happens.
class DialogEvents {
 public:
  DialogEvents() = default;
  DialogEvents(const DialogEvents&) = delete;
  DialogEvents& operator=(const DialogEvents&) = delete;
  virtual ~DialogEvents() = default;

  // WM_INITDIALOG; the result is the dialog procedure's answer.
  virtual bool OnInitDialog(WindowHandle dialog) = 0;
  // WM_COMMAND from a control or accelerator; true when handled.
  virtual bool OnCommand(WindowHandle dialog, int controlId, int notifyCode) = 0;
};

// The dialog that is showing, its controls and the message boxes of the program.
class DialogView {
 public:
  // MessageBox flags and answers, as Windows numbers them.
  static constexpr std::uint32_t kOk = 0x0;
  static constexpr std::uint32_t kYesNoCancel = 0x3;
  static constexpr std::uint32_t kIconInformation = 0x40;
  static constexpr std::uint32_t kIconError = 0x10;
  static constexpr std::uint32_t kDefaultButton2 = 0x100;
  static constexpr int kAnswerOk = 1;
  static constexpr int kAnswerCancel = 2;
  static constexpr int kAnswerYes = 6;
  static constexpr int kAnswerNo = 7;

  DialogView() = default;
  DialogView(const DialogView&) = delete;
  DialogView& operator=(const DialogView&) = delete;
  virtual ~DialogView() = default;

  // Creates the dialog of the resource as a modeless dialog without owner, served by the program's dialog
  // procedure with creation parameter 0 (CreateDialogParam); `events` receives its messages from then on.
  virtual WindowHandle CreateDialogWindow(int resourceId, DialogEvents& events) = 0;
  virtual void ShowWindow(WindowHandle window, int showCommand) = 0;

  // SetDlgItemTextA on a control of the dialog.
  virtual bool SetControlText(WindowHandle dialog, int controlId, const std::string& text) = 0;
  // PBM_SETPOS on a progress bar of the dialog.
  virtual void SetProgressPosition(WindowHandle dialog, int controlId, int position) = 0;
  // InvalidateRect of the whole window, erasing the background when asked.
  virtual bool InvalidateWindow(WindowHandle window, bool erase) = 0;
  // UpdateWindow: paints the window now, even while the message loop is blocked.
  virtual bool UpdateWindow(WindowHandle window) = 0;

  // GetActiveWindow: the active window of this thread, none when it has none.
  virtual WindowHandle ActiveWindow() = 0;

  // MessageBoxA; returns the answer (kAnswerOk, kAnswerYes, ...), 0 when the box could not be shown.
  virtual int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                             std::uint32_t flags) = 0;

  // Loads the accelerator table and runs the message loop (GetMessage, TranslateAccelerator against the
  // message's window, TranslateMessage and DispatchMessage, no IsDialogMessage) until WM_QUIT; returns the
  // wParam of the last message.
  virtual std::uintptr_t RunMessageLoop(int acceleratorTableId) = 0;
};
