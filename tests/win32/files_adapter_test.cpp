#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "adapter_test_paths.h"
#include "platform/win32/win32_files.h"

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
