#include "platform/win32/win32_installer_database.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <vector>

#include "platform/win32/wide_text.h"

static_assert(InstallerDatabase::kNoMoreItems == ERROR_NO_MORE_ITEMS);

namespace {

MSIHANDLE ToHandle(MsiHandle handle) {
  return static_cast<MSIHANDLE>(handle);
}

}  // namespace

std::uint32_t Win32InstallerDatabase::OpenDatabase(const std::string& package, MsiHandle& database) {
  const std::optional<std::wstring> wide = Utf8ToWideText(package);
  if (!wide) {
    return ERROR_NO_UNICODE_TRANSLATION;
  }
  MSIHANDLE opened = 0;
  // MSIDBOPEN_READONLY is persist mode 0, declared as a TCHAR pointer: the wide call takes it as such.
  const UINT result = MsiOpenDatabaseW(wide->c_str(), static_cast<LPCWSTR>(nullptr), &opened);
  database = static_cast<MsiHandle>(opened);
  return result;
}

std::uint32_t Win32InstallerDatabase::OpenView(MsiHandle database, const std::string& query,
                                               MsiHandle& view) {
  const std::optional<std::wstring> wide = Utf8ToWideText(query);
  if (!wide) {
    return ERROR_NO_UNICODE_TRANSLATION;
  }
  MSIHANDLE opened = 0;
  const UINT result = MsiDatabaseOpenViewW(ToHandle(database), wide->c_str(), &opened);
  view = static_cast<MsiHandle>(opened);
  return result;
}

std::uint32_t Win32InstallerDatabase::Execute(MsiHandle view) {
  return MsiViewExecute(ToHandle(view), 0);
}

std::uint32_t Win32InstallerDatabase::Fetch(MsiHandle view, MsiHandle& record) {
  MSIHANDLE fetched = 0;
  const UINT result = MsiViewFetch(ToHandle(view), &fetched);
  record = static_cast<MsiHandle>(fetched);
  return result;
}

std::optional<std::string> Win32InstallerDatabase::RecordString(MsiHandle record, std::uint32_t field) {
  wchar_t empty[1] = {};
  DWORD size = 0;
  if (MsiRecordGetStringW(ToHandle(record), field, empty, &size) != ERROR_MORE_DATA && size != 0) {
    return std::nullopt;
  }
  std::vector<wchar_t> text(size + 1, L'\0');
  ++size;
  if (MsiRecordGetStringW(ToHandle(record), field, text.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return WideToUtf8Text(std::wstring_view(text.data(), size));
}

std::uint32_t Win32InstallerDatabase::Close(MsiHandle handle) {
  return MsiCloseHandle(ToHandle(handle));
}

bool Win32InstallerDatabase::ProductInstalled(const std::string& productCode) {
  const std::optional<std::wstring> wide = Utf8ToWideText(productCode);
  return wide && MsiQueryProductStateW(wide->c_str()) == INSTALLSTATE_DEFAULT;
}
