#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "adapter_test_paths.h"
#include "platform/win32/win32_machine.h"
#include "run/program.h"
#include "steps/toolkit/cabinet_extraction.h"

// CopyCabinet through the real cabinet.dll and the file adapters: the package set's cabinets and the broken
// cabinets of the host tests.

namespace {

constexpr char kLogName[] = "Halvorn NembricAI  Setup v10.1.3.Log";

// A fresh folder under the temporary folder.
std::string FreshFolder(const std::string& name) {
  const std::string folder = TempPath(name);
  std::string command = "cmd /c rd /s /q \"" + folder + "\" >nul 2>nul";
  system(command.c_str());  // NOLINT(concurrency-mt-unsafe)
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// The local time of a file's last write, as "YYYY-MM-DD hh:mm:ss".
std::string LocalWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) == FALSE) {
    return "<missing>";
  }
  FILETIME local{};
  SYSTEMTIME time{};
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &time);
  char text[32] = {};
  snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour,
           time.wMinute, time.wSecond);
  return text;
}

// Every file below the folder, by its full path.
void ListFiles(const std::string& folder, std::vector<std::string>& files) {
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return;
  }
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") {
      continue;
    }
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      ListFiles(folder + "\\" + name, files);
    } else {
      files.push_back(folder + "\\" + name);
    }
  } while (FindNextFileA(search, &found) != FALSE);
  FindClose(search);
}

// Removes a folder and all below it, names of any spelling included.
void RemoveTree(const std::string& folder) {
  std::vector<std::string> files;
  ListFiles(folder, files);
  for (const std::string& file : files) {
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(file.c_str());
  }
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != ".." && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(folder + "\\" + name);
      }
    } while (FindNextFileA(search, &found) != FALSE);
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

class CabinetAdapter : public testing::Test {
 protected:
  CabinetAdapter() { state.startDirectory = FreshFolder("Nembric Cabinet Log"); }
  ~CabinetAdapter() override { CloseLog(state); }
  std::string Log() { return ReadAll(state.startDirectory + "\\" + kLogName); }

  Win32Machine windows{GetModuleHandleW(nullptr)};
  Program program{windows.machine()};
  SetupState& state = program.state;
};

TEST_F(CabinetAdapter, ExtractsThePackageSetWithTheCabinetTimeStamps) {
  const std::string downloads = BuildDirectory() + "\\packages\\downloads";
  const std::string destination = FreshFolder("Nembric Cabinet Client");
  ASSERT_TRUE(ExtractCabinet(state, "Nembric10App.cab", downloads, destination)) << Log();
  ASSERT_TRUE(ExtractCabinet(state, "Nembric10App.cab", downloads, destination)) << Log();
  for (const char* name : {"Nembric10App.exe", "Config\\Nembric10App.ini"}) {
    const std::string path = destination + "\\" + name;
    EXPECT_EQ(LocalWriteTime(path), "2024-03-01 12:00:00") << name;
  }
  EXPECT_EQ(ReadAll(destination + "\\Config\\Nembric10App.ini"),
            ReadAll(std::string("Z:") + PACKAGE_FILES_DIR + "/Nembric10App.ini"));
  EXPECT_EQ(ReadAll(destination + "\\Nembric10App.exe").substr(0, 2), "MZ");
  EXPECT_EQ(Log(), "");
}

TEST_F(CabinetAdapter, TheFoldersOfEntriesAreMadeBelowTheDestination) {
  const std::string destination = FreshFolder("Nembric Cabinet Nested");
  ASSERT_TRUE(CopyCabinet(state, "nested.cab", OwnDirectory() + "\\cabinets\\", destination)) << Log();
  EXPECT_EQ(ReadAll(destination + "\\Data\\Forms\\main.frm"), "form main\r\n");
  EXPECT_EQ(ReadAll(destination + "\\Data\\readme.txt"), "Halvorn Nembric data\r\n");
  EXPECT_EQ(Log(), "");
}

TEST_F(CabinetAdapter, AnEntryWhoseFolderCannotBeMadeAbortsFiveTimesWithoutALogLine) {
  const std::string downloads = BuildDirectory() + "\\packages\\downloads";
  const std::string destination = FreshFolder("Nembric Cabinet No Config");
  // A file where the entry's folder would go.
  const HANDLE blocker = CreateFileA((destination + "\\Config").c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(blocker, INVALID_HANDLE_VALUE);
  CloseHandle(blocker);
  EXPECT_FALSE(CopyCabinet(state, "Nembric10App.cab", downloads + "\\", destination));
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(LocalWriteTime(destination + "\\Nembric10App.exe"), "2024-03-01 12:00:00");
}

TEST_F(CabinetAdapter, AFileInUseAbortsFiveTimesWithoutALogLine) {
  const std::string cabinets = OwnDirectory() + "\\cabinets\\";
  const std::string destination = FreshFolder("Nembric Cabinet In Use");
  CreateDirectoryA((destination + "\\bin").c_str(), nullptr);
  const std::string held = destination + "\\bin\\tool.dll";
  HANDLE running = CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CopyCabinet(state, "plain.cab", cabinets, destination));
  CloseHandle(running);
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(ReadAll(destination + "\\readme.txt"), "Halvorn Nembric test file\r\n");
}

// The host tests' hostile cabinets through cabinet.dll: nothing lands outside the destination, each ends
// promptly, a refused cabinet extracts nothing, and a copy that fails says why.
TEST_F(CabinetAdapter, HostileCabinetsStayInTheDestinationAndEndPromptly) {
  const std::string cabinets = OwnDirectory() + "\\cabinets\\hostile\\";
  std::ifstream list(OwnDirectory() + "\\cabinets\\hostile\\list.txt");
  std::string name;
  std::string rule;
  int count = 0;
  while (list >> name >> rule) {
    ++count;
    const std::string outer = TempPath("Nembric Hostile " + name);
    RemoveTree(outer);
    CreateDirectoryA(outer.c_str(), nullptr);
    const std::string destination = outer + "\\dest\\deep";
    CreateDirectoryA((outer + "\\dest").c_str(), nullptr);
    CreateDirectoryA(destination.c_str(), nullptr);
    const std::size_t logBefore = Log().size();
    const ULONGLONG start = GetTickCount64();
    const bool copied = CopyCabinet(state, name, cabinets, destination).ok();
    EXPECT_LT(GetTickCount64() - start, 10000U) << name;
    std::vector<std::string> files;
    ListFiles(outer, files);
    for (const std::string& file : files) {
      EXPECT_EQ(file.rfind(destination + "\\", 0), 0U) << name << ": " << file;
    }
    EXPECT_TRUE(copied || Log().size() > logBefore) << name;
    if (rule == "refuse") {
      EXPECT_FALSE(copied) << name;
      EXPECT_TRUE(files.empty()) << name << ": " << (files.empty() ? "" : files[0]);
    }
    RemoveTree(outer);
  }
  EXPECT_GE(count, 20);
}

TEST_F(CabinetAdapter, BrokenCabinetsAreLoggedWithTheirText) {
  const std::string cabinets = OwnDirectory() + "\\cabinets\\";
  const std::string destination = FreshFolder("Nembric Cabinet Broken");
  CreateDirectoryA((destination + "\\bin").c_str(), nullptr);
  EXPECT_FALSE(CopyCabinet(state, "missing.cab", cabinets, destination));
  EXPECT_FALSE(CopyCabinet(state, "notacab.cab", cabinets, destination));
  EXPECT_FALSE(CopyCabinet(state, "truncated.cab", cabinets, destination));
  EXPECT_FALSE(CopyCabinet(state, "corrupt.cab", cabinets, destination));
  EXPECT_EQ(Log(),
            "Server Setup:Cabinet not found\r\n"
            "Server Setup:Not valid cabinet\r\n"
            "Server Setup:Corrupt cabinet\r\n"
            "Server Setup:Corrupt cabinet\r\n");
}

TEST_F(CabinetAdapter, NamesLeavingTheDestinationAreNeverWritten) {
  const std::string cabinets = OwnDirectory() + "\\cabinets\\";
  const std::string parent = FreshFolder("Nembric Cabinet Names");
  const std::string destination = parent + "\\inside";
  CreateDirectoryA(destination.c_str(), nullptr);
  for (const char* cabinet : {"parent.cab", "rooted.cab", "drive.cab"}) {
    EXPECT_FALSE(CopyCabinet(state, cabinet, cabinets, destination)) << cabinet;
  }
  EXPECT_EQ(GetFileAttributesA((parent + "\\evil.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(Log().find("Server Setup:Cabinet entry rejected: ..\\evil.txt;"), std::string::npos) << Log();
}

}  // namespace
