#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "adapter_test_paths.h"
#include "core/security_text.h"
#include "platform/win32/security_descriptor.h"
#include "platform/win32/win32_files.h"
#include "steps/toolkit/protected_folder.h"

namespace {

TEST(Win32Files, CurrentDirectoryWithinItsLimit) {
  Win32Files files;
  char expected[MAX_PATH + 1] = {};
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, expected);
  ASSERT_GT(length, 0U);
  EXPECT_EQ(files.CurrentDirectory(255), std::string(expected));
  EXPECT_EQ(files.CurrentDirectory(length), std::string(expected));
  EXPECT_EQ(files.CurrentDirectory(length - 1), std::nullopt);
}

// A file is looked for along PATH alone: a file of that name in the program's own folder or the current
// folder (where anyone may have put one) is not found; one in a folder of PATH is.
TEST(Win32Files, SearchesPathNotTheProgramsFolder) {
  const std::string name = "nembric_search_probe.dll";
  const std::string planted = OwnDirectory() + "\\" + name;
  std::ofstream(planted) << "planted";
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  SetCurrentDirectoryA(OwnDirectory().c_str());
  Win32Files files;
  EXPECT_EQ(files.FindOnSearchPath(name), std::nullopt);
  const std::optional<std::string> system = files.FindOnSearchPath("kernel32.dll");
  ASSERT_TRUE(system.has_value());
  EXPECT_EQ(system->find(OwnDirectory()), std::string::npos) << *system;
  SetCurrentDirectoryA(current);
  DeleteFileA(planted.c_str());
}

TEST(Win32Files, CreatesAnewAppendsAndCloses) {
  Win32Files files;
  const std::string path = TempPath("nembric adapter log.txt");
  {
    std::ofstream old(path, std::ios::binary);
    old << "content of an earlier run";
  }
  const FileHandle file =
      files.Create(path, Files::kGenericRead | Files::kGenericWrite, Files::kShareRead | Files::kShareWrite,
                   Files::kCreateAlways, Files::kAttributeNormal);
  ASSERT_NE(file, FileHandle::invalid);
  for (const char* line : {"first\r\n", "second\r\n"}) {
    EXPECT_TRUE(files.SeekToEnd(file));
    EXPECT_TRUE(files.Write(file, line));
  }
  // Shared for reading and writing: another reader sees the lines while the file is open.
  EXPECT_EQ(ReadAll(path), "first\r\nsecond\r\n");
  EXPECT_TRUE(files.Close(file));
  EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(Win32Files, CreateInAMissingFolderGivesTheInvalidHandle) {
  Win32Files files;
  EXPECT_EQ(files.Create(TempPath("no such folder\\x.log"), Files::kGenericWrite, 0, Files::kCreateAlways,
                         Files::kAttributeNormal),
            FileHandle::invalid);
}

// Names outside any ANSI code page are made, listed, copied and removed under the names the wide calls
// see; a path that is no UTF-8 is refused before any call.
TEST(Win32Files, KeepsNamesOutsideTheCodePage) {
  Win32Files files;
  const std::string name = "\xC5\x81\xC3\xB3\x64\xC5\xBA \xE6\x97\xA5\xE6\x9C\xAC";  // Łódź 日本
  const std::string folder = TempPath(name);
  ASSERT_EQ(files.MakeDirectory(folder), 0U);
  const FileHandle file = files.Create(folder + "\\" + name + ".txt", Files::kGenericWrite, 0,
                                       Files::kCreateAlways, Files::kAttributeNormal);
  ASSERT_NE(file, FileHandle::invalid);
  EXPECT_TRUE(files.Write(file, "text"));
  EXPECT_TRUE(files.Close(file));
  std::uint32_t error = 0;
  EXPECT_TRUE(files.CopyTo(folder + "\\" + name + ".txt", folder + "\\copy.txt", error));
  const std::optional<std::vector<Files::DirectoryEntry>> entries = files.ListDirectory(folder + "\\*.txt");
  ASSERT_TRUE(entries);
  std::vector<std::string> names;
  for (const Files::DirectoryEntry& entry : *entries) {
    names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"copy.txt", name + ".txt"}));
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  EXPECT_NE(GetFileAttributesW((std::wstring(temp) +
                                L"\u0141\u00F3d\u017A \u65E5\u672C\\\u0141\u00F3d\u017A \u65E5\u672C.txt")
                                   .c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(files.Create(TempPath("a\xE9.txt"), Files::kGenericWrite, 0, Files::kCreateAlways,
                         Files::kAttributeNormal),
            FileHandle::invalid);
  EXPECT_EQ(files.LastCreateError(), static_cast<std::uint32_t>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_TRUE(files.Remove(folder + "\\copy.txt"));
  EXPECT_TRUE(files.Remove(folder + "\\" + name + ".txt"));
  EXPECT_TRUE(files.RemoveFolder(folder));
}

TEST(Win32Files, StampsFilesAndRemovesOnlyEmptyFolders) {
  Win32Files files;
  const std::string folder = TempPath("nembric stamp folder");
  const std::string path = folder + "\\file.txt";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  {
    std::ofstream file(path, std::ios::binary);
    file << "twelve bytes";
  }
  FILETIME written{};
  const HANDLE handle =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  GetFileTime(handle, nullptr, nullptr, &written);
  CloseHandle(handle);
  const std::optional<Files::Stamp> stamp = files.StampOf(path);
  ASSERT_TRUE(stamp);
  EXPECT_EQ(stamp->size, 12U);
  EXPECT_EQ(stamp->lastWrite, (std::uint64_t{written.dwHighDateTime} << 32U) | written.dwLowDateTime);
  EXPECT_FALSE(files.StampOf(folder));
  EXPECT_FALSE(files.RemoveFolder(folder));
  EXPECT_TRUE(files.Remove(path));
  EXPECT_FALSE(files.StampOf(path));
  EXPECT_TRUE(files.RemoveFolder(folder));
  EXPECT_FALSE(files.FileAttributes(folder));
}

}  // namespace

namespace {

// The descriptor a protected folder is made with reads back as the SDDL it came from; the folder is made
// with it, and its owner and DACL can be read and set. (Wine keeps no descriptor: what it reads back of the
// folder is its own, so the descriptor is checked in the structure handed to CreateDirectory.)
TEST(Win32Files, MakesAFolderWithTheDescriptorItIsGiven) {
  const std::string dacl = ProtectedFolderDacl(FolderReaders::usersAndWebsite);
  const unique_security_descriptor descriptor = SecurityDescriptorOf(dacl);
  ASSERT_TRUE(descriptor);
  EXPECT_EQ(SddlOf(descriptor.get()), dacl);
  EXPECT_FALSE(SecurityDescriptorOf("D:P(A;OICI;NOT;;;SY)"));

  Win32Files files;
  const std::string folder = TempPath("nembric protected folder");
  RemoveDirectoryA(folder.c_str());
  EXPECT_EQ(files.MakeDirectoryWithSecurity(folder, dacl), 0U);
  EXPECT_NE(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(files.MakeDirectoryWithSecurity(folder + "\\bad", "D:(A;;NOT;;;SY)"), 0U);
  const std::optional<std::string> security = files.SecurityOf(folder);
  ASSERT_TRUE(security);
  EXPECT_TRUE(ParseSecurityText(*security)) << *security;
  EXPECT_EQ(files.SetSecurity(folder, Files::SecurityPart::owner, "O:BA"), 0U);
  EXPECT_EQ(files.SetSecurity(folder, Files::SecurityPart::protectedDacl, dacl), 0U);
  EXPECT_TRUE(RemoveDirectoryA(folder.c_str()));
}

// A package held for its check, open for reading and sharing reading only, can be neither opened for
// writing, nor deleted, nor replaced while it is held.
TEST(Win32Files, APackageHeldForItsCheckRefusesWritersAndDeletion) {
  Win32Files files;
  const std::string path = TempPath("nembric held package.exe");
  const std::string other = TempPath("nembric other package.exe");
  std::ofstream(path, std::ios::binary) << "MZ package";
  std::ofstream(other, std::ios::binary) << "MZ other";
  const FileHandle held = files.Create(path, Files::kGenericRead, Files::kShareRead, Files::kOpenExisting,
                                       Files::kAttributeNormal);
  ASSERT_NE(held, FileHandle::invalid);
  const FileHandle writer = files.Create(path, Files::kGenericWrite, Files::kShareRead | Files::kShareWrite,
                                         Files::kOpenExisting, Files::kAttributeNormal);
  EXPECT_EQ(writer, FileHandle::invalid);
  EXPECT_EQ(files.LastCreateError(), Files::kErrorSharingViolation);
  EXPECT_FALSE(files.Remove(path));
  EXPECT_FALSE(files.Replace(other, path));
  // A reader that shares as the check does may still open it (an installer's own start reads it).
  const FileHandle reader = files.Create(path, Files::kGenericRead, Files::kShareRead, Files::kOpenExisting,
                                         Files::kAttributeNormal);
  EXPECT_NE(reader, FileHandle::invalid);
  files.Close(reader);
  files.Close(held);
  EXPECT_TRUE(files.Remove(path));
  DeleteFileA(other.c_str());
}

}  // namespace

namespace {

// The volume that holds a folder, whether or not the folder is there yet: its root with the backslash.
TEST(Win32Files, TellsTheVolumeThatHoldsAFolder) {
  Win32Files files;
  EXPECT_EQ(files.VolumeOf("C:\\windows\\system32"), "C:\\");
  EXPECT_EQ(files.VolumeOf("C:\\NembricNotThereYet\\Update"), "C:\\");
}

}  // namespace

namespace {

// A file to be deleted when Windows next starts is noted where the session manager reads it, by its NT path
// with no target, after the renames noted before it.
TEST(Win32Files, NotesAFileForDeletionAtTheNextStart) {
  Win32Files files;
  const std::string path = TempPath("nembric removed at restart.exe");
  {
    std::ofstream file(path, std::ios::binary);
    file << "MZ";
  }
  ASSERT_TRUE(files.RemoveAtRestart(path));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  std::string pending(1U << 16U, '\0');
  DWORD size = static_cast<DWORD>(pending.size());
  ASSERT_EQ(RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(pending.data()), &size),
            ERROR_SUCCESS);
  pending.resize(size);
  // Each operation is a source and a target, each ending with its NUL; a deletion has an empty target.
  const std::string noted = std::string("\\??\\") + path + std::string(1, '\0') + std::string(1, '\0');
  EXPECT_NE(pending.find(noted), std::string::npos);
  RegDeleteValueA(key, "PendingFileRenameOperations");
  RegCloseKey(key);
  DeleteFileA(path.c_str());
}

}  // namespace
