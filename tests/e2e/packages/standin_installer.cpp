// A stand-in for an outside installer of the package set (the Visual C++ redistributables and the SQL
// Server Express setup). One program, copied under each installer's name; what it does follows from that
// name. Like the real one it writes the registry values that the setup checks afterwards. Every run
// appends "command line|working directory" to C:\NembricTest\<name>.log, and the exit code is read from
// C:\NembricTest\<name>.exitcode (0 when that file is missing), so that a test chooses it. With
// C:\NembricTest\<name>.seconds it takes that long before it installs, as a real installer does.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kControlFolder[] = L"C:\\NembricTest\\";

std::wstring OwnName() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name = path;
  name = name.substr(name.find_last_of(L"\\/") + 1);
  const std::size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

void Record(const std::wstring& name) {
  CreateDirectoryW(kControlFolder, nullptr);
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  const std::wstring line = std::wstring(GetCommandLineW()) + L"|" + directory + L"\r\n";
  const std::wstring log = std::wstring(kControlFolder) + name + L".log";
  const HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    char utf8[4096] = {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8,
                                           sizeof(utf8), nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
  }
}

// The number in C:\NembricTest\<name>.<what>, 0 when the file is missing.
DWORD ControlNumber(const std::wstring& name, const wchar_t* what) {
  const std::wstring path = std::wstring(kControlFolder) + name + L"." + what;
  FILE* file = _wfopen(path.c_str(), L"r");
  if (file == nullptr) {
    return 0;
  }
  unsigned long code = 0;
  if (std::fscanf(file, "%lu", &code) != 1) {
    code = 0;
  }
  std::fclose(file);
  return static_cast<DWORD>(code);
}

void SetValues(REGSAM view, const wchar_t* key, const wchar_t* version, DWORD major, DWORD minor,
               DWORD build) {
  HKEY opened = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE | view, nullptr, &opened, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  const DWORD one = 1;
  RegSetValueExW(opened, L"Installed", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
  if (version != nullptr) {
    RegSetValueExW(opened, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>((std::wcslen(version) + 1) * sizeof(wchar_t)));
    const DWORD numbers[] = {major, minor, build, 0};
    const wchar_t* names[] = {L"Major", L"Minor", L"Bld", L"Rev"};
    for (int i = 0; i < 4; ++i) {
      RegSetValueExW(opened, names[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&numbers[i]),
                     sizeof(DWORD));
    }
  }
  RegCloseKey(opened);
}

// What the real package leaves behind when it succeeds.
void Install(const std::wstring& name) {
  if (_wcsicmp(name.c_str(), L"vcredist_x64") == 0) {
    SetValues(KEY_WOW64_64KEY, L"SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64", nullptr, 0, 0,
              0);
  } else if (_wcsicmp(name.c_str(), L"vcredist_x32") == 0) {
    SetValues(KEY_WOW64_32KEY, L"SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X86", nullptr, 0, 0,
              0);
  } else if (_wcsicmp(name.c_str(), L"VC_redist.x64") == 0) {
    // The 2015-and-later redistributable is a 32-bit bundle: it registers in the 32-bit view.
    SetValues(KEY_WOW64_32KEY, L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64",
              L"v14.38.33135.00", 14, 38, 33135);
  } else if (_wcsicmp(name.c_str(), L"SQLEXPR_x64_ENU") == 0) {
    // The SQL Server setup talks on its output for a while.
    for (int line = 1; line <= 12; ++line) {
      std::printf(
          "SQL Server 2022 Setup (stand-in): step %2d of 12 - configuring the database engine instance\r\n",
          line);
      std::fflush(stdout);
      Sleep(120);
    }
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring name = OwnName();
  // Under the name "handle_probe" it tells whether the handle given as its argument was inherited:
  // 0 when the handle is valid in this process, 1 when not.
  if (_wcsicmp(name.c_str(), L"handle_probe") == 0) {
    DWORD flags = 0;
    const auto value = static_cast<std::uintptr_t>(argc > 1 ? std::wcstoull(argv[1], nullptr, 10) : 0);
    return GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) != FALSE ? 0 : 1;
  }
  Record(name);
  Sleep(ControlNumber(name, L"seconds") * 1000);
  const DWORD code = ControlNumber(name, L"exitcode");
  if (code == 0 || code == 3010 || code == 1641) {
    Install(name);
  }
  return static_cast<int>(code);
}
