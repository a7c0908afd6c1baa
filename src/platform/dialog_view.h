#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/handles.h"

// A rectangle in pixels, as Windows gives it (right and bottom exclusive).
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The colour messages of a dialog.
enum class ColourMessage { staticControl, button, dialog };

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
  // WM_CTLCOLORSTATIC, WM_CTLCOLORBTN, WM_CTLCOLORDLG: the brush to paint with, none to leave it to Windows.
  virtual BrushHandle OnControlColour(ColourMessage message, DeviceContext context) = 0;
  // WM_SYSCOMMAND, its command without the four low bits Windows keeps for itself; true when handled (the
  // system's own commands, such as Close, are left to Windows).
  virtual bool OnSystemCommand(WindowHandle /*dialog*/, int /*command*/) { return false; }
  // The dialog has moved to a monitor of another scaling (WM_DPICHANGED), and the dialog manager has scaled
  // it, the controls of its template and its font: what the logic placed itself is placed again.
  virtual void OnDpiChanged(WindowHandle /*dialog*/) {}
};

// What the subclass procedure of a field hands to the logic. `receiving` is the window that got the
// message: the field, or the edit or list part of a combo box, which reports under the combo box's ID.
class FieldEvents {
 public:
  FieldEvents() = default;
  FieldEvents(const FieldEvents&) = delete;
  FieldEvents& operator=(const FieldEvents&) = delete;
  virtual ~FieldEvents() = default;

  // WM_KEYDOWN; true when the key is taken (the procedure returns 0), false to pass it on.
  virtual bool OnFieldKeyDown(WindowHandle receiving, int fieldId, int virtualKey, bool altDown) = 0;
  // WM_KEYUP; same answer.
  virtual bool OnFieldKeyUp(WindowHandle receiving, int fieldId, int virtualKey) = 0;
  // WM_LBUTTONDOWN and WM_LBUTTONUP at (x, y) in the receiving window's client coordinates; same answer.
  virtual bool OnFieldMouseButton(WindowHandle receiving, int fieldId, int x, int y) = 0;
};

// The dialog that is showing, its controls and the message boxes of the program.
class DialogView {
 public:
  // Windows numbers: message boxes, virtual keys, styles, common control classes.
  static constexpr std::uint32_t kOk = 0x0;
  static constexpr std::uint32_t kYesNoCancel = 0x3;
  static constexpr std::uint32_t kYesNo = 0x4;
  static constexpr std::uint32_t kButtonMask = 0xF;
  static constexpr std::uint32_t kIconInformation = 0x40;
  static constexpr std::uint32_t kIconError = 0x10;
  static constexpr std::uint32_t kIconWarning = 0x30;
  static constexpr std::uint32_t kDefaultButton2 = 0x100;
  static constexpr int kAnswerOk = 1;
  static constexpr int kAnswerCancel = 2;
  static constexpr int kAnswerYes = 6;
  static constexpr int kAnswerNo = 7;
  static constexpr int kKeyTab = 0x09;
  static constexpr int kKeyEnter = 0x0D;
  static constexpr int kKeyF4 = 0x73;
  static constexpr std::uint32_t kStyleChild = 0x40000000;
  static constexpr std::uint32_t kStyleVisible = 0x10000000;
  static constexpr std::uint32_t kStaticNoPrefix = 0x80;
  static constexpr std::uint32_t kComboTypeMask = 0x3;
  static constexpr std::uint32_t kComboDropDownList = 0x3;
  static constexpr std::uint32_t kProgressClass = 0x20;  // ICC_PROGRESS_CLASS

  DialogView() = default;
  DialogView(const DialogView&) = delete;
  DialogView& operator=(const DialogView&) = delete;
  virtual ~DialogView() = default;

  // --- the dialog
  // Creates the dialog of the resource as a modeless dialog without owner, served by the program's dialog
  // procedure with creation parameter 0 (CreateDialogParam); `events` receives its messages from then on.
  virtual WindowHandle CreateDialogWindow(int resourceId, DialogEvents& events) = 0;
  // The error (GetLastError) of the last CreateDialogWindow that made no window.
  virtual std::uint32_t LastCreateError() = 0;
  virtual void ShowWindow(WindowHandle window, int showCommand) = 0;
  // GetClientRect.
  virtual Rect ClientRect(WindowHandle window) = 0;
  // The window's dots per inch, those of the monitor it is on (GetDpiForWindow; 96 at 100 % scaling).
  virtual int WindowDpi(WindowHandle window) = 0;
  // SetWindowPos of one of the dialog's controls to `place` (in the dialog's client area), its order kept.
  virtual bool MoveControl(WindowHandle dialog, int controlId, const Rect& place) = 0;
  // Gives a control the font of its dialog (WM_GETFONT of the dialog, WM_SETFONT to the control), which
  // grows with the scaling as the dialog's own controls do.
  virtual void UseDialogFont(WindowHandle dialog, WindowHandle control) = 0;
  // InvalidateRect of the whole window, erasing the background when asked.
  virtual bool InvalidateWindow(WindowHandle window, bool erase) = 0;
  // UpdateWindow: paints the window now, even while the message loop is blocked.
  virtual bool UpdateWindow(WindowHandle window) = 0;
  // RedrawWindow with RDW_INVALIDATE, RDW_ERASE, RDW_ALLCHILDREN, RDW_UPDATENOW and RDW_FRAME.
  virtual void RedrawAll(WindowHandle window) = 0;
  // GetActiveWindow: the active window of this thread, none when it has none.
  virtual WindowHandle ActiveWindow() = 0;
  // Loads the accelerator table and runs the message loop (GetMessage, TranslateAccelerator against the
  // message's window, then IsDialogMessage for `keyboardDialog` when one is given, TranslateMessage and
  // DispatchMessage) until WM_QUIT; returns the wParam of the last message. With a keyboard dialog, Tab,
  // Enter and Esc work as in any dialog; without one the dialog's fields handle their keys themselves.
  virtual std::uintptr_t RunMessageLoop(int acceleratorTableId, WindowHandle keyboardDialog) = 0;

  // --- windows and controls
  // GetDlgItem; none when the dialog has no such control.
  virtual WindowHandle GetControl(WindowHandle dialog, int controlId) = 0;
  virtual int ControlId(WindowHandle control) = 0;
  virtual WindowHandle Parent(WindowHandle window) = 0;
  virtual bool IsWindow(WindowHandle window) = 0;
  // GetClassNameW with room for maxChars characters; nullopt when it fails.
  virtual std::optional<std::string> ClassName(WindowHandle window, std::size_t maxChars) = 0;
  // GetWindowLong(GWL_STYLE).
  virtual std::uint32_t Style(WindowHandle window) = 0;
  // GetWindowTextW with room for maxChars characters; nullopt when it fails.
  virtual std::optional<std::string> WindowText(WindowHandle window, std::size_t maxChars) = 0;
  // SetWindowTextW.
  virtual bool SetText(WindowHandle window, const std::string& text) = 0;
  // SetDlgItemTextW on a control of the dialog.
  virtual bool SetControlText(WindowHandle dialog, int controlId, const std::string& text) = 0;
  // ShowWindow with SW_SHOW or SW_HIDE.
  virtual void SetVisible(WindowHandle window, bool visible) = 0;
  virtual void SetEnabled(WindowHandle window, bool enabled) = 0;
  // CreateWindowExW of a child control with an empty text.
  virtual WindowHandle CreateChild(WindowHandle parent, const std::u16string& className, std::uint32_t style,
                                   Rect place, int controlId) = 0;
  // InitCommonControlsEx for the classes.
  virtual void InitCommonControls(std::uint32_t classes) = 0;
  // SetWindowTheme(window, L"", L""): the control paints as without visual styles.
  virtual void RemoveTheme(WindowHandle window) = 0;
  // SetWindowSubclass with the program's field procedure under the ID; `events` receives its messages.
  virtual void SubclassField(WindowHandle window, int subclassId, FieldEvents& events) = 0;

  // --- combo boxes, list boxes, buttons, edits
  virtual void CloseDropDown(WindowHandle combo) = 0;  // CB_SHOWDROPDOWN FALSE
  virtual void ResetContent(WindowHandle combo) = 0;   // CB_RESETCONTENT
  virtual int InsertItem(WindowHandle combo, int index, const std::string& text) = 0;  // CB_INSERTSTRING
  virtual int SelectItem(WindowHandle combo, int index) = 0;                           // CB_SETCURSEL
  virtual int SelectedItem(WindowHandle combo) = 0;                                    // CB_GETCURSEL
  virtual std::optional<std::string> ItemText(WindowHandle combo, int index) = 0;      // CB_GETLBTEXT
  virtual int ListSelectedItem(WindowHandle list) = 0;                                 // LB_GETCURSEL
  virtual std::optional<std::string> ListItemText(WindowHandle list, int index) = 0;   // LB_GETTEXT
  // The edit and list parts of a combo box (GetComboBoxInfo); none where it has none.
  struct ComboParts {
    WindowHandle edit = WindowHandle::none;
    WindowHandle list = WindowHandle::none;
  };
  virtual std::optional<ComboParts> ComboBoxParts(WindowHandle combo) = 0;
  // Whether (x, y) in the receiving window's client coordinates lies on the combo box's drop-down button
  // (GetComboBoxInfo and MapWindowPoints); nullopt when the combo box information cannot be had.
  virtual std::optional<bool> OnDropDownButton(WindowHandle combo, WindowHandle receiving, int x, int y) = 0;
  // CheckRadioButton.
  virtual void CheckRadioButton(WindowHandle dialog, int firstId, int lastId, int checkId) = 0;
  // IsDlgButtonChecked: true for a checked radio button or check box.
  virtual bool IsChecked(WindowHandle dialog, int controlId) = 0;
  // AppendMenu of a string item to the window menu (GetSystemMenu); false when the window has none. The
  // command must be below 0xF000, where the system's own commands begin, and have its four low bits clear.
  virtual bool AddSystemMenuItem(WindowHandle dialog, int command, const std::string& text) = 0;
  // EndDialog with the result.
  virtual bool EndDialog(WindowHandle dialog, std::intptr_t result) = 0;
  // PBM_SETRANGE32 and PBM_SETPOS on a progress bar of the dialog.
  virtual void SetProgressRange(WindowHandle dialog, int controlId, int low, int high) = 0;
  virtual void SetProgressPosition(WindowHandle dialog, int controlId, int position) = 0;

  // --- focus
  virtual void SetFocus(WindowHandle window) = 0;
  // EM_SETSEL from 0 to -1.
  virtual void SelectAllText(WindowHandle window) = 0;
  // WM_NEXTDLGCTL: with none, the focus goes to the next tab stop (0, 0); with a control, to that control
  // (its handle, 1).
  virtual void NextDialogControl(WindowHandle dialog, WindowHandle control) = 0;

  // --- painting
  virtual BrushHandle CreateSolidBrush(std::uint32_t colour) = 0;
  virtual void DeleteBrush(BrushHandle brush) = 0;
  virtual void SetTextColour(DeviceContext context, std::uint32_t colour) = 0;
  virtual void SetTransparentBackground(DeviceContext context) = 0;

  // --- message boxes
  // MessageBoxW; returns the answer (kAnswerOk, kAnswerYes, ...), 0 when the box could not be shown.
  virtual int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                             std::uint32_t flags) = 0;
};
