#include "platform/win32/win32_installer_database.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <vector>

static_assert(InstallerDatabase::kNoMoreItems == ERROR_NO_MORE_ITEMS);

namespace {

MSIHANDLE ToHandle(MsiHandle handle) {
  return static_cast<MSIHANDLE>(handle);
}

}  // namespace

std::uint32_t Win32InstallerDatabase::OpenDatabase(const std::string& package, MsiHandle& database) {
  MSIHANDLE opened = 0;
  // MSIDBOPEN_READONLY is persist mode 0, declared as a TCHAR pointer: the ANSI call takes it as such.
  const UINT result = MsiOpenDatabaseA(package.c_str(), static_cast<LPCSTR>(nullptr), &opened);
  database = static_cast<MsiHandle>(opened);
  return result;
}

std::uint32_t Win32InstallerDatabase::OpenView(MsiHandle database, const std::string& query,
                                               MsiHandle& view) {
  MSIHANDLE opened = 0;
  const UINT result = MsiDatabaseOpenViewA(ToHandle(database), query.c_str(), &opened);
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
  char empty[1] = {};
  DWORD size = 0;
  if (MsiRecordGetStringA(ToHandle(record), field, empty, &size) != ERROR_MORE_DATA && size != 0) {
    return std::nullopt;
  }
  std::vector<char> text(size + 1, '\0');
  ++size;
  if (MsiRecordGetStringA(ToHandle(record), field, text.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(text.data(), size);
}

std::uint32_t Win32InstallerDatabase::Close(MsiHandle handle) {
  return MsiCloseHandle(ToHandle(handle));
}

bool Win32InstallerDatabase::ProductInstalled(const std::string& productCode) {
  return MsiQueryProductStateA(productCode.c_str()) == INSTALLSTATE_DEFAULT;
}
