#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "adapter_test_paths.h"
#include "platform/win32/win32_machine.h"
#include "run/program.h"
#include "steps/actions/installer_run.h"
#include "steps/actions/msi_installed.h"

// RunServerInstaller through the real process adapter: the package set's MSI, from a folder whose path
// holds blanks, installs through msiexec with the quoted path.

namespace {

bool InformationServerRegistered() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvorn\\NembricIS", 0, KEY_READ | KEY_WOW64_64KEY,
                    &key) != ERROR_SUCCESS) {
    return false;
  }
  const bool found = RegQueryValueExA(key, "Version", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

TEST(ServerInstallerAdapter, InstallsAnMsiFromAFolderWithBlanks) {
  const std::string folder = TempPath("Nembric Server Update");
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string package = folder + "\\NembricISSetup.msi";
  const std::string source = BuildDirectory() + "\\packages\\downloads\\NembricISSetup.msi";
  ASSERT_TRUE(CopyFileA(source.c_str(), package.c_str(), FALSE)) << source;

  Win32Machine windows(GetModuleHandleW(nullptr));
  Program program(windows.machine());
  program.state.startDirectory = folder;
  EXPECT_TRUE(RunServerInstaller(program.state, folder, "NembricISSetup.msi"));
  EXPECT_TRUE(InformationServerRegistered());

  // The product code read from the package's Property table, and the removal by it.
  const std::optional<std::string> code = ProductCodeOf(program.state, package);
  EXPECT_EQ(code, "{6E3C2A10-5B1D-4C8E-9F00-2A7B4D1E0A01}");
  EXPECT_FALSE(ProductCodeOf(program.state, folder + "\\NoSuchPackage.msi"));
  EXPECT_TRUE(RemoveInstallerPackage(program.state, code.value_or(package)));
  CloseLog(program.state);
  EXPECT_FALSE(InformationServerRegistered());
  DeleteFileA(package.c_str());
}

}  // namespace
