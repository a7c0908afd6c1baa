#include "platform/win32/win32_dialog_view.h"

#include <windows.h>

#include <commctrl.h>
#include <uxtheme.h>

#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace {

// The dots per inch of 100 % scaling.
constexpr int kDefaultDpi = 96;
// Posted to the dialog after a change of scaling, once the dialog manager has scaled it.
constexpr UINT kPlaceAgain = WM_APP + 1;

// The dialog logic of the one dialog this process shows. The program has one thread, so the procedure
// finds it here rather than through the creation parameter, which stays 0.
DialogEvents* g_dialogEvents = nullptr;

HWND ToWindow(WindowHandle window) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

WindowHandle FromWindow(HWND window) {
  return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window));
}

HDC ToContext(DeviceContext context) {
  return reinterpret_cast<HDC>(static_cast<std::uintptr_t>(context));
}

HBRUSH ToBrush(BrushHandle brush) {
  return reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(brush));
}

INT_PTR Colour(ColourMessage message, WPARAM context) {
  const BrushHandle brush = g_dialogEvents->OnControlColour(
      message, static_cast<DeviceContext>(static_cast<std::uintptr_t>(context)));
  return static_cast<INT_PTR>(static_cast<std::uintptr_t>(brush));
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
    case WM_CTLCOLORSTATIC:
      return Colour(ColourMessage::staticControl, wParam);
    case WM_CTLCOLORBTN:
      return Colour(ColourMessage::button, wParam);
    case WM_CTLCOLORDLG:
      return Colour(ColourMessage::dialog, wParam);
    case WM_SYSCOMMAND:
      // The four low bits of a system command are the system's own.
      return g_dialogEvents->OnSystemCommand(FromWindow(dialog), static_cast<int>(wParam & 0xFFF0)) ? TRUE
                                                                                                    : FALSE;
    case WM_DPICHANGED:
      // The dialog manager scales the dialog once this procedure has left the message to it; what the logic
      // placed itself is placed again after that.
      PostMessageW(dialog, kPlaceAgain, 0, 0);
      return FALSE;
    case kPlaceAgain:
      g_dialogEvents->OnDpiChanged(FromWindow(dialog));
      return TRUE;
    default:
      return FALSE;
  }
}

// The subclass procedure of the fields: Tab, Enter, F4 and clicks go to the logic; the field wants every
// key, so that the dialog manager never takes Tab or Enter away from it.
LRESULT CALLBACK FieldKeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR subclassId,
                              DWORD_PTR reference) {
  auto* events = reinterpret_cast<FieldEvents*>(reference);
  const int fieldId = static_cast<int>(subclassId);
  switch (message) {
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, FieldKeyProc, subclassId);
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTTAB | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
      if (events->OnFieldKeyDown(FromWindow(window), fieldId, static_cast<int>(wParam),
                                 (GetKeyState(VK_MENU) & 0x8000) != 0)) {
        return 0;
      }
      break;
    case WM_KEYUP:
      if (events->OnFieldKeyUp(FromWindow(window), fieldId, static_cast<int>(wParam))) {
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      if (events->OnFieldMouseButton(FromWindow(window), fieldId, static_cast<short>(LOWORD(lParam)),
                                     static_cast<short>(HIWORD(lParam)))) {
        return 0;
      }
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

using unique_accelerators = unique_handle<HACCEL, DestroyAcceleratorTable>;

std::optional<std::string> ReadText(std::size_t maxChars, const auto& read) {
  std::vector<wchar_t> text(maxChars + 1, L'\0');
  SetLastError(ERROR_SUCCESS);
  const int length = read(text.data(), static_cast<int>(text.size()));
  if (length < 0 || (length == 0 && GetLastError() != ERROR_SUCCESS)) {
    return std::nullopt;
  }
  return WideToUtf8Text(std::wstring_view(text.data(), static_cast<std::size_t>(length)));
}

// The text of a list or combo box item, whose length the box gives first.
std::optional<std::string> ItemTextOf(HWND box, int index, UINT lengthMessage, UINT textMessage) {
  const LRESULT length = SendMessageW(box, lengthMessage, static_cast<WPARAM>(index), 0);
  if (length < 0) {
    return std::nullopt;
  }
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendMessageW(box, textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  if (copied < 0) {
    return std::nullopt;
  }
  return WideToUtf8Text(text.data());
}

}  // namespace

static_assert(DialogView::kYesNoCancel == MB_YESNOCANCEL &&
              DialogView::kIconInformation == MB_ICONINFORMATION);
static_assert(DialogView::kYesNo == MB_YESNO && DialogView::kButtonMask == MB_TYPEMASK);
static_assert(DialogView::kIconError == MB_ICONERROR && DialogView::kDefaultButton2 == MB_DEFBUTTON2);
static_assert(DialogView::kAnswerYes == IDYES && DialogView::kAnswerNo == IDNO);
static_assert(DialogView::kAnswerCancel == IDCANCEL && DialogView::kAnswerOk == IDOK);
static_assert(DialogView::kKeyTab == VK_TAB && DialogView::kKeyEnter == VK_RETURN &&
              DialogView::kKeyF4 == VK_F4);
static_assert(DialogView::kStyleChild == WS_CHILD && DialogView::kStyleVisible == WS_VISIBLE);
static_assert(DialogView::kStaticNoPrefix == SS_NOPREFIX &&
              DialogView::kComboDropDownList == CBS_DROPDOWNLIST);
static_assert(DialogView::kProgressClass == ICC_PROGRESS_CLASS);

WindowHandle Win32DialogView::CreateDialogWindow(int resourceId, DialogEvents& events) {
  g_dialogEvents = &events;
  HWND dialog = CreateDialogParamW(instance_, MAKEINTRESOURCEW(resourceId), nullptr, SetupDialogProc, 0);
  if (dialog == nullptr) {
    lastCreateError_ = GetLastError();
  }
  return FromWindow(dialog);
}

void Win32DialogView::ShowWindow(WindowHandle window, int showCommand) {
  // The result tells whether the window was visible before, not whether the call worked.
  ::ShowWindow(ToWindow(window), showCommand);
}

Rect Win32DialogView::ClientRect(WindowHandle window) {
  RECT rect{};
  GetClientRect(ToWindow(window), &rect);
  return Rect{rect.left, rect.top, rect.right, rect.bottom};
}

int Win32DialogView::WindowDpi(WindowHandle window) {
  // In a per-monitor process the device context's LOGPIXELSY is the system's scaling, not the monitor's.
  const UINT dpi = GetDpiForWindow(ToWindow(window));
  return dpi > 0 ? static_cast<int>(dpi) : kDefaultDpi;
}

bool Win32DialogView::MoveControl(WindowHandle dialog, int controlId, const Rect& place) {
  return SetWindowPos(GetDlgItem(ToWindow(dialog), controlId), nullptr, place.left, place.top,
                      place.right - place.left, place.bottom - place.top,
                      SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

void Win32DialogView::UseDialogFont(WindowHandle dialog, WindowHandle control) {
  const LRESULT font = SendMessageW(ToWindow(dialog), WM_GETFONT, 0, 0);
  SendMessageW(ToWindow(control), WM_SETFONT, static_cast<WPARAM>(font), FALSE);
}

bool Win32DialogView::InvalidateWindow(WindowHandle window, bool erase) {
  return InvalidateRect(ToWindow(window), nullptr, erase ? TRUE : FALSE) != FALSE;
}

bool Win32DialogView::UpdateWindow(WindowHandle window) {
  return ::UpdateWindow(ToWindow(window)) != FALSE;
}

void Win32DialogView::RedrawAll(WindowHandle window) {
  RedrawWindow(ToWindow(window), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
}

WindowHandle Win32DialogView::ActiveWindow() {
  return FromWindow(GetActiveWindow());
}

std::uintptr_t Win32DialogView::RunMessageLoop(int acceleratorTableId, WindowHandle keyboardDialog) {
  const unique_accelerators accelerators(LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(acceleratorTableId)));
  const HWND dialog = ToWindow(keyboardDialog);
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorW(message.hwnd, accelerators.get(), &message) == 0 &&
        (dialog == nullptr || IsDialogMessageW(dialog, &message) == FALSE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return message.wParam;
}

WindowHandle Win32DialogView::GetControl(WindowHandle dialog, int controlId) {
  return FromWindow(GetDlgItem(ToWindow(dialog), controlId));
}

int Win32DialogView::ControlId(WindowHandle control) {
  return GetDlgCtrlID(ToWindow(control));
}

WindowHandle Win32DialogView::Parent(WindowHandle window) {
  return FromWindow(GetParent(ToWindow(window)));
}

bool Win32DialogView::IsWindow(WindowHandle window) {
  return ::IsWindow(ToWindow(window)) != FALSE;
}

std::optional<std::string> Win32DialogView::ClassName(WindowHandle window, std::size_t maxChars) {
  return ReadText(maxChars,
                  [&](wchar_t* text, int size) { return GetClassNameW(ToWindow(window), text, size); });
}

std::uint32_t Win32DialogView::Style(WindowHandle window) {
  return static_cast<std::uint32_t>(GetWindowLongW(ToWindow(window), GWL_STYLE));
}

std::optional<std::string> Win32DialogView::WindowText(WindowHandle window, std::size_t maxChars) {
  return ReadText(maxChars,
                  [&](wchar_t* text, int size) { return GetWindowTextW(ToWindow(window), text, size); });
}

bool Win32DialogView::SetText(WindowHandle window, const std::string& text) {
  const std::optional<std::wstring> wide = Utf8ToWideText(text);
  return wide && SetWindowTextW(ToWindow(window), wide->c_str()) != FALSE;
}

bool Win32DialogView::SetControlText(WindowHandle dialog, int controlId, const std::string& text) {
  const std::optional<std::wstring> wide = Utf8ToWideText(text);
  return wide && SetDlgItemTextW(ToWindow(dialog), controlId, wide->c_str()) != FALSE;
}

void Win32DialogView::SetVisible(WindowHandle window, bool visible) {
  ::ShowWindow(ToWindow(window), visible ? SW_SHOW : SW_HIDE);
}

void Win32DialogView::SetEnabled(WindowHandle window, bool enabled) {
  EnableWindow(ToWindow(window), enabled ? TRUE : FALSE);
}

WindowHandle Win32DialogView::CreateChild(WindowHandle parent, const std::u16string& className,
                                          std::uint32_t style, Rect place, int controlId) {
  return FromWindow(
      CreateWindowExW(0, reinterpret_cast<LPCWSTR>(className.c_str()), L"", style, place.left, place.top,
                      place.right - place.left, place.bottom - place.top, ToWindow(parent),
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance_, nullptr));
}

void Win32DialogView::InitCommonControls(std::uint32_t classes) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), classes};
  InitCommonControlsEx(&controls);
}

void Win32DialogView::RemoveTheme(WindowHandle window) {
  SetWindowTheme(ToWindow(window), L"", L"");
}

void Win32DialogView::SubclassField(WindowHandle window, int subclassId, FieldEvents& events) {
  SetWindowSubclass(ToWindow(window), FieldKeyProc, static_cast<UINT_PTR>(subclassId),
                    reinterpret_cast<DWORD_PTR>(&events));
}

void Win32DialogView::CloseDropDown(WindowHandle combo) {
  SendMessageW(ToWindow(combo), CB_SHOWDROPDOWN, FALSE, 0);
}

void Win32DialogView::ResetContent(WindowHandle combo) {
  SendMessageW(ToWindow(combo), CB_RESETCONTENT, 0, 0);
}

int Win32DialogView::InsertItem(WindowHandle combo, int index, const std::string& text) {
  const std::optional<std::wstring> wide = Utf8ToWideText(text);
  if (!wide) {
    return CB_ERR;
  }
  return static_cast<int>(SendMessageW(ToWindow(combo), CB_INSERTSTRING, static_cast<WPARAM>(index),
                                       reinterpret_cast<LPARAM>(wide->c_str())));
}

int Win32DialogView::SelectItem(WindowHandle combo, int index) {
  return static_cast<int>(SendMessageW(ToWindow(combo), CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}

int Win32DialogView::SelectedItem(WindowHandle combo) {
  return static_cast<int>(SendMessageW(ToWindow(combo), CB_GETCURSEL, 0, 0));
}

std::optional<std::string> Win32DialogView::ItemText(WindowHandle combo, int index) {
  return ItemTextOf(ToWindow(combo), index, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

int Win32DialogView::ListSelectedItem(WindowHandle list) {
  return static_cast<int>(SendMessageW(ToWindow(list), LB_GETCURSEL, 0, 0));
}

std::optional<std::string> Win32DialogView::ListItemText(WindowHandle list, int index) {
  return ItemTextOf(ToWindow(list), index, LB_GETTEXTLEN, LB_GETTEXT);
}

std::optional<DialogView::ComboParts> Win32DialogView::ComboBoxParts(WindowHandle combo) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  if (GetComboBoxInfo(ToWindow(combo), &info) == FALSE) {
    return std::nullopt;
  }
  return ComboParts{FromWindow(info.hwndItem), FromWindow(info.hwndList)};
}

std::optional<bool> Win32DialogView::OnDropDownButton(WindowHandle combo, WindowHandle receiving, int x,
                                                      int y) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  if (GetComboBoxInfo(ToWindow(combo), &info) == FALSE) {
    return std::nullopt;
  }
  POINT point{x, y};
  MapWindowPoints(ToWindow(receiving), ToWindow(combo), &point, 1);
  return PtInRect(&info.rcButton, point) != FALSE;
}

void Win32DialogView::CheckRadioButton(WindowHandle dialog, int firstId, int lastId, int checkId) {
  ::CheckRadioButton(ToWindow(dialog), firstId, lastId, checkId);
}

bool Win32DialogView::IsChecked(WindowHandle dialog, int controlId) {
  return IsDlgButtonChecked(ToWindow(dialog), controlId) == BST_CHECKED;
}

bool Win32DialogView::EndDialog(WindowHandle dialog, std::intptr_t result) {
  return ::EndDialog(ToWindow(dialog), result) != FALSE;
}

void Win32DialogView::SetProgressRange(WindowHandle dialog, int controlId, int low, int high) {
  SendDlgItemMessageW(ToWindow(dialog), controlId, PBM_SETRANGE32, static_cast<WPARAM>(low),
                      static_cast<LPARAM>(high));
}

void Win32DialogView::SetProgressPosition(WindowHandle dialog, int controlId, int position) {
  SendDlgItemMessageW(ToWindow(dialog), controlId, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32DialogView::SetFocus(WindowHandle window) {
  ::SetFocus(ToWindow(window));
}

void Win32DialogView::SelectAllText(WindowHandle window) {
  SendMessageW(ToWindow(window), EM_SETSEL, 0, -1);
}

void Win32DialogView::NextDialogControl(WindowHandle dialog, WindowHandle control) {
  if (control == WindowHandle::none) {
    SendMessageW(ToWindow(dialog), WM_NEXTDLGCTL, 0, 0);
  } else {
    SendMessageW(ToWindow(dialog), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ToWindow(control)), TRUE);
  }
}

BrushHandle Win32DialogView::CreateSolidBrush(std::uint32_t colour) {
  return static_cast<BrushHandle>(reinterpret_cast<std::uintptr_t>(::CreateSolidBrush(colour)));
}

void Win32DialogView::DeleteBrush(BrushHandle brush) {
  DeleteObject(ToBrush(brush));
}

void Win32DialogView::SetTextColour(DeviceContext context, std::uint32_t colour) {
  SetTextColor(ToContext(context), colour);
}

void Win32DialogView::SetTransparentBackground(DeviceContext context) {
  SetBkMode(ToContext(context), TRANSPARENT);
}

bool Win32DialogView::AddSystemMenuItem(WindowHandle dialog, int command, const std::string& text) {
  const HMENU menu = GetSystemMenu(ToWindow(dialog), FALSE);
  const std::optional<std::wstring> wide = Utf8ToWideText(text);
  return menu != nullptr && wide &&
         AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(static_cast<unsigned>(command)), wide->c_str()) !=
             0;
}

int Win32DialogView::ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                                    std::uint32_t flags) {
  const std::optional<std::wstring> wideText = Utf8ToWideText(text);
  const std::optional<std::wstring> wideCaption = Utf8ToWideText(caption);
  if (!wideText || !wideCaption) {
    return 0;
  }
  return MessageBoxW(ToWindow(owner), wideText->c_str(), wideCaption->c_str(), flags);
}
