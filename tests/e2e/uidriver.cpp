// The UI driver: uses the setup program's dialogs from outside, as a person at the screen would, under
// Wine or on Windows. One run carries out a sequence of commands, separated by "--", on the window that
// the last "window" command found:
//   window CAPTION [TIMEOUT_MS]   wait until a top-level window with this caption shows and is enabled
//   controls                      list its controls: id, class, visible, enabled, text
//   get ID | items ID             print the control's text | the items of a combo box
//   visible ID | enabled ID       print 1 or 0
//   status                        print the status line (control 40001)
//   progress                      print the position of the progress bar (control 40002)
//   focus                         print the ID of the field with the focus (a combo box for its edit
//                                 part) and the selection in it: start and end
//   set ID TEXT                   put the text into the control (a combo box: its edit field)
//   select ID INDEX               choose a combo box item as a click in its list would
//   key ID KEY                    give the field the focus and press KEY: tab, shift+tab, enter,
//                                 shift+enter, f4, alt+f4, escape
//   click ID                      press the button
//   syscommand COMMAND            choose the window menu's item of that command (WM_SYSCOMMAND)
//   tick ID | checked ID          click a check box or radio button | print its state, 1 or 0
//   box ANSWER [TIMEOUT_MS]       wait for a message box of the program, print its caption and text,
//                                 answer ok, yes, no or cancel, or keep it open (keep)
//   nobox [MS]                    fail when a message box shows within MS
//   gone [TIMEOUT_MS]             wait until the window is gone
//   kill                          end the program that shows the window
//   windows                       list the program's other top-level windows: class, visible, caption
//   watch IMAGE MS                for MS milliseconds, print each process running the program file IMAGE
//                                 (process PID) and each top-level window one of them has (toplevel ...),
//                                 then "watched PROCESSES WINDOWS"
//   sleep MS
//   hold PATH                     make a window of the desktop (so that Wine has started the desktop
//                                 process and its display driver), print "held", then keep this process,
//                                 and with it the desktop, while PATH exists
// Each result is printed on a line of its own. Exit code 0 when every command worked, 1 otherwise (the
// failing command is printed), 2 for a command line it does not understand.
#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kStatusLineId = 40001;
constexpr int kProgressBarId = 40002;
constexpr DWORD kDefaultTimeoutMs = 20000;

struct Driver {
  HWND window = nullptr;
  DWORD process = 0;
};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) {
    return {};
  }
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), length, nullptr,
                      nullptr);
  return out;
}

// Texts are read with the wide messages: the ANSI forms can arrive cut across processes.
std::wstring TextOf(HWND window) {
  std::vector<wchar_t> text(4096, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 5000, &copied);
  return std::wstring(text.data());
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

bool Wait(DWORD timeoutMs, const auto& done) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (done()) {
      return true;
    }
    if (GetTickCount64() >= end) {
      return false;
    }
    Sleep(50);
  }
}

DWORD Number(const wchar_t* text) {
  return static_cast<DWORD>(std::wcstoul(text, nullptr, 10));
}

struct BoxSearch {
  DWORD process;
  HWND exclude;
  HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM search) {
  auto* box = reinterpret_cast<BoxSearch*>(search);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == box->process && window != box->exclude && IsWindowVisible(window) &&
      ClassOf(window) == L"#32770") {
    box->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK PrintTopLevel(HWND window, LPARAM search) {
  const auto* driver = reinterpret_cast<const BoxSearch*>(search);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == driver->process && window != driver->exclude) {
    std::printf("toplevel\t%s\t%d\t%s\n", Utf8(ClassOf(window)).c_str(), IsWindowVisible(window) ? 1 : 0,
                Utf8(TextOf(window)).c_str());
  }
  return TRUE;
}

HWND MessageBoxOf(const Driver& driver) {
  BoxSearch search{driver.process, driver.window, nullptr};
  EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The window that takes the keys of a field: a combo box's edit child.
HWND KeyTarget(HWND control) {
  if (ClassOf(control) == L"ComboBox") {
    if (const HWND edit = FindWindowExW(control, nullptr, L"Edit", nullptr)) {
      return edit;
    }
  }
  return control;
}

void Press(const std::vector<WORD>& keys) {
  std::vector<INPUT> inputs;
  for (const WORD key : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    inputs.push_back(input);
  }
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = *it;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Waits until the program has handled what was sent to it so far: its input is taken (it waits for more)
// and its thread answers a message, which it does only between two handlers (a message box's own loop
// answers too).
void Settle(const Driver& driver) {
  if (const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, driver.process)) {
    WaitForInputIdle(process, 10000);
    CloseHandle(process);
  }
  SendMessageTimeoutW(driver.window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, nullptr);
}

void CALLBACK Handled(HWND /*window*/, UINT /*message*/, ULONG_PTR done, LRESULT /*result*/) {
  *reinterpret_cast<bool*>(done) = true;
}

// Presses a button as a click does, and waits until the program has handled the press or shows a message
// box in the middle of it.
void Click(const Driver& driver, int id, HWND control) {
  bool handled = false;
  SendMessageCallbackW(driver.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(control), Handled, reinterpret_cast<ULONG_PTR>(&handled));
  Wait(60000, [&] {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      DispatchMessageW(&message);
    }
    return handled || MessageBoxOf(driver) != nullptr || !IsWindow(driver.window);
  });
}

bool KeysOf(const std::wstring& name, std::vector<WORD>& keys) {
  const std::pair<const wchar_t*, std::vector<WORD>> table[] = {
      {L"tab", {VK_TAB}},       {L"shift+tab", {VK_SHIFT, VK_TAB}},
      {L"enter", {VK_RETURN}},  {L"shift+enter", {VK_SHIFT, VK_RETURN}},
      {L"f4", {VK_F4}},         {L"alt+f4", {VK_MENU, VK_F4}},
      {L"escape", {VK_ESCAPE}},
  };
  for (const auto& [key, codes] : table) {
    if (name == key) {
      keys = codes;
      return true;
    }
  }
  return false;
}

bool Focus(const Driver& driver, HWND target) {
  const DWORD own = GetCurrentThreadId();
  const DWORD theirs = GetWindowThreadProcessId(driver.window, nullptr);
  AttachThreadInput(own, theirs, TRUE);
  SetForegroundWindow(driver.window);
  SetFocus(target);
  const bool focused = GetFocus() == target;
  AttachThreadInput(own, theirs, FALSE);
  return focused;
}

int Answer(const std::wstring& answer) {
  if (answer == L"ok") return IDOK;
  if (answer == L"yes") return IDYES;
  if (answer == L"no") return IDNO;
  if (answer == L"cancel") return IDCANCEL;
  return 0;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM /*unused*/) {
  std::printf("%d\t%s\t%d\t%d\t%s\n", GetDlgCtrlID(control), Utf8(ClassOf(control)).c_str(),
              IsWindowVisible(control) ? 1 : 0, IsWindowEnabled(control) ? 1 : 0,
              Utf8(TextOf(control)).c_str());
  return TRUE;
}

// Carries out one command; false when it failed (after printing why).
struct WindowWatch {
  std::vector<DWORD> processes;
  std::vector<HWND> seen;
};

BOOL CALLBACK NoteWindowOfWatched(HWND window, LPARAM watch) {
  auto* state = reinterpret_cast<WindowWatch*>(watch);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  for (const DWORD watched : state->processes) {
    if (watched == process &&
        std::find(state->seen.begin(), state->seen.end(), window) == state->seen.end()) {
      state->seen.push_back(window);
      std::printf("toplevel\t%lu\t%s\t%d\t%s\n", static_cast<unsigned long>(process),
                  Utf8(ClassOf(window)).c_str(), IsWindowVisible(window) ? 1 : 0,
                  Utf8(TextOf(window)).c_str());
    }
  }
  return TRUE;
}

// Notes the processes running the program file and the windows they have, until the time is up.
void Watch(const std::wstring& image, DWORD milliseconds) {
  WindowWatch watch;
  const DWORD end = GetTickCount() + milliseconds;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more != FALSE;
         more = Process32NextW(snapshot, &entry)) {
      if (_wcsicmp(entry.szExeFile, image.c_str()) == 0 &&
          std::find(watch.processes.begin(), watch.processes.end(), entry.th32ProcessID) ==
              watch.processes.end()) {
        watch.processes.push_back(entry.th32ProcessID);
        std::printf("process\t%lu\n", static_cast<unsigned long>(entry.th32ProcessID));
      }
    }
    CloseHandle(snapshot);
    EnumWindows(NoteWindowOfWatched, reinterpret_cast<LPARAM>(&watch));
    Sleep(20);
  }
  std::printf("watched\t%zu\t%zu\n", watch.processes.size(), watch.seen.size());
}

// Under Wine the first window of a desktop starts its desktop process; a program whose wait for it runs
// out gets no display driver and can make no window for its whole life. A test holds the desktop once, in a
// process of its own, before it starts a program whose window it waits for.
bool Hold(const std::wstring& watched) {
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) {
    std::printf("error no window can be made (%lu)\n", GetLastError());
    return false;
  }
  DestroyWindow(window);
  std::printf("held\n");
  std::fflush(stdout);
  while (GetFileAttributesW(watched.c_str()) != INVALID_FILE_ATTRIBUTES) {
    Sleep(500);
  }
  return true;
}

bool Run(Driver& driver, const std::vector<std::wstring>& command) {
  const std::wstring& verb = command[0];
  const auto argument = [&](std::size_t index) {
    return index < command.size() ? command[index] : std::wstring();
  };
  const auto timeout = [&](std::size_t index) {
    return index < command.size() ? Number(command[index].c_str()) : kDefaultTimeoutMs;
  };
  if (verb == L"sleep") {
    Sleep(timeout(1));
    return true;
  }
  if (verb == L"hold") {
    return Hold(argument(1));
  }
  if (verb == L"watch") {
    Watch(argument(1), timeout(2));
    return true;
  }
  if (verb == L"window") {
    const std::wstring caption = argument(1);
    const bool found = Wait(timeout(2), [&] {
      // A person can use the window once it shows and takes input (not while a picker is open over it).
      const HWND window = FindWindowW(nullptr, caption.c_str());
      driver.window =
          window != nullptr && IsWindowVisible(window) && IsWindowEnabled(window) ? window : nullptr;
      return driver.window != nullptr;
    });
    if (!found) {
      std::printf("error no window \"%s\"\n", Utf8(caption).c_str());
      return false;
    }
    GetWindowThreadProcessId(driver.window, &driver.process);
    std::printf("window\t%s\tprocess %lu\n", Utf8(caption).c_str(), driver.process);
    return true;
  }
  if (driver.window == nullptr) {
    std::printf("error no window chosen\n");
    return false;
  }
  if (verb == L"controls") {
    EnumChildWindows(driver.window, PrintControl, 0);
    return true;
  }
  if (verb == L"focus") {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(driver.window, nullptr), &info);
    HWND focused = info.hwndFocus;
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(focused, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (focused != nullptr && GetParent(focused) != driver.window &&
        ClassOf(GetParent(focused)) == L"ComboBox") {
      focused = GetParent(focused);
    }
    std::printf("focus\t%d\t%lu\t%lu\n", focused == nullptr ? 0 : GetDlgCtrlID(focused), start, end);
    return true;
  }
  if (verb == L"windows") {
    BoxSearch search{driver.process, driver.window, nullptr};
    EnumWindows(PrintTopLevel, reinterpret_cast<LPARAM>(&search));
    return true;
  }
  if (verb == L"status") {
    std::printf("status\t%s\n", Utf8(TextOf(GetDlgItem(driver.window, kStatusLineId))).c_str());
    return true;
  }
  if (verb == L"progress") {
    DWORD_PTR position = 0;
    if (SendMessageTimeoutW(GetDlgItem(driver.window, kProgressBarId), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG,
                            5000, &position) == 0) {
      std::printf("error the progress bar does not answer\n");
      return false;
    }
    std::printf("progress\t%u\n", static_cast<unsigned>(position));
    return true;
  }
  if (verb == L"box" || verb == L"nobox") {
    HWND box = nullptr;
    Wait(timeout(verb == L"box" ? 2 : 1), [&] { return (box = MessageBoxOf(driver)) != nullptr; });
    if (verb == L"nobox") {
      if (box != nullptr) {
        std::printf("error unexpected box\t%s\t%s\n", Utf8(TextOf(box)).c_str(),
                    Utf8(TextOf(GetDlgItem(box, 0xFFFF))).c_str());
        return false;
      }
      return true;
    }
    if (box == nullptr) {
      std::printf("error no message box\n");
      return false;
    }
    std::printf("box\t%s\t%s\n", Utf8(TextOf(box)).c_str(), Utf8(TextOf(GetDlgItem(box, 0xFFFF))).c_str());
    if (argument(1) == L"keep") {
      return true;
    }
    const int button = Answer(argument(1));
    if (button == 0 || GetDlgItem(box, button) == nullptr) {
      std::printf("error the box has no button %s\n", Utf8(argument(1)).c_str());
      return false;
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    Wait(5000, [&] { return !IsWindow(box) || !IsWindowVisible(box); });
    Settle(driver);
    return true;
  }
  if (verb == L"syscommand") {
    // What choosing the item does: the menu posts its command to the window.
    PostMessageW(driver.window, WM_SYSCOMMAND, Number(argument(1).c_str()), 0);
    std::printf("syscommand\t%s\n", Utf8(argument(1)).c_str());
    return true;
  }
  if (verb == L"kill") {
    const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, driver.process);
    const bool ended = process != nullptr && TerminateProcess(process, 0) != FALSE &&
                       WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    if (process != nullptr) {
      CloseHandle(process);
    }
    std::printf(ended ? "killed\n" : "error the program did not end\n");
    return ended;
  }
  if (verb == L"gone") {
    if (!Wait(timeout(1), [&] { return !IsWindow(driver.window); })) {
      std::printf("error the window is still there\n");
      return false;
    }
    std::printf("gone\n");
    return true;
  }

  const int id = static_cast<int>(Number(argument(1).c_str()));
  const HWND control = GetDlgItem(driver.window, id);
  if (control == nullptr) {
    std::printf("error no control %d\n", id);
    return false;
  }
  if (verb == L"get") {
    std::printf("text\t%d\t%s\n", id, Utf8(TextOf(control)).c_str());
  } else if (verb == L"visible") {
    std::printf("visible\t%d\t%d\n", id, IsWindowVisible(control) ? 1 : 0);
  } else if (verb == L"checked") {
    std::printf("checked\t%d\t%d\n", id, SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
  } else if (verb == L"tick") {
    // A click on a check box or radio button itself: the button changes its state and tells the dialog.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_NORMAL, 20000, &ignored);
    Settle(driver);
  } else if (verb == L"enabled") {
    std::printf("enabled\t%d\t%d\n", id, IsWindowEnabled(control) ? 1 : 0);
  } else if (verb == L"items") {
    const LRESULT count = SendMessageW(control, CB_GETCOUNT, 0, 0);
    for (WPARAM item = 0; static_cast<LRESULT>(item) < count; ++item) {
      std::vector<wchar_t> text(static_cast<std::size_t>(SendMessageW(control, CB_GETLBTEXTLEN, item, 0)) + 1,
                                L'\0');
      SendMessageW(control, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text.data()));
      std::printf("item\t%d\t%ld\t%s\n", id, static_cast<long>(item), Utf8(text.data()).c_str());
    }
  } else if (verb == L"set") {
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argument(2).c_str()));
  } else if (verb == L"select") {
    SendMessageW(control, CB_SETCURSEL, Number(argument(2).c_str()), 0);
    PostMessageW(driver.window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
  } else if (verb == L"click") {
    Click(driver, id, control);
  } else if (verb == L"key") {
    std::vector<WORD> keys;
    if (!KeysOf(argument(2), keys)) {
      std::printf("error unknown key %s\n", Utf8(argument(2)).c_str());
      return false;
    }
    const HWND target = KeyTarget(control);
    if (!Focus(driver, target)) {
      std::printf("error control %d did not take the focus\n", id);
      return false;
    }
    Press(keys);
    Sleep(100);
    Settle(driver);
  } else {
    std::printf("error unknown command %s\n", Utf8(verb).c_str());
    return false;
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Each line as it happens: a test may read the output while the driver still runs.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::vector<std::vector<std::wstring>> commands(1);
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--") == 0) {
      commands.emplace_back();
    } else {
      commands.back().emplace_back(argv[i]);
    }
  }
  if (commands.front().empty()) {
    std::fprintf(stderr, "usage: uidriver COMMAND [ARGUMENTS] [-- COMMAND [ARGUMENTS]]...\n");
    return 2;
  }
  Driver driver;
  for (const auto& command : commands) {
    if (command.empty()) {
      continue;
    }
    const bool worked = Run(driver, command);
    std::fflush(stdout);
    if (!worked) {
      return 1;
    }
  }
  return 0;
}
