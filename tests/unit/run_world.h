#pragma once

#include <string>
#include <vector>

#include "fake_machine.h"
#include "run/program.h"
#include "setup_world.h"
#include "test_cabinets.h"

// Whole runs of the program on the fake machine, each a process of its own, as the command line starts
// them.
inline constexpr char kLog[] = "C:\\Setup\\Halvorn NembricAI  Setup v10.1.3.Log";
inline constexpr char kAnswers[] = "C:\\Setup\\answers.ini";
inline constexpr char kInformationServerCode[] = "{7E1D6F0A-3B2C-4D5E-8F90-A1B2C3D4E5F6}";
inline constexpr char kRecord[] = "C:\\Program Files\\Halvorn\\NembricAI\\InstallRecord.txt";
inline constexpr char kSetupCopy[] = "C:\\Program Files\\Halvorn\\NembricAI\\NembricSetup.exe";

// A machine for runs without a window, each run a process of its own: the AI client's packages on the
// download server, its runtime missing (its installer then registers it).
struct RunWorld {
  RunWorld() {
    fake.files.currentDirectory = "C:\\Setup";
    fake.files.AddDirectory("C:\\Setup");
    fake.files.SetContent("C:\\Setup\\NembricSetup.exe", "MZ setup");
    fake.files.SetContent(kAnswers, "[Setup]\nSetupType=Client\nBitSize=AI Client\n");
    fake.http.Serve("NembricAIAppSetup.cab", FakeCrypto::Signed(ReadCabinet("plain.cab")));
    fake.http.Serve("VC_redist.x64.exe", FakeCrypto::Signed(std::string("MZ\0\0", 4)));
    fake.processes.AddProgram("c:\\NembricAIApp\\Update\\VC_redist.x64.exe", {0, nullptr, false, {}});
    fake.processes.AddProgram("C:\\Windows\\system32\\cmd.exe", {});
  }
  std::uint32_t Run(const std::u16string& commandLine) {
    // Each process starts where it is started from, whatever folder the last one ended in.
    fake.files.currentDirectory = "C:\\Setup";
    Program program{fake.machine};
    program.state.publisherPins = {FakeCrypto::Pin(FakeCrypto::kPublisherCaKey)};
    try {
      program.Run(commandLine, 1);
    } catch (const ProcessExit& exit) {
      return exit.exitCode;
    }
    return 0xFFFFFFFF;
  }
  // The server's packages and installers, its runtime in place, Windows Installer as it is, and IIS with
  // its default site on the server's port; the answers of a Both install with SQL Server Express.
  void PrepareServer() {
    fake.files.SetContent(
        kAnswers,
        "[Setup]\nSetupType=Both\nBitSize=AI Client\nServerDirectory=C:\\HNembricAI\nPort=80\n"
        "InstallSqlServer=Yes\nSqlPassword=Pa55$word\n");
    for (const char* cabinet :
         {"HNembricAI1.cab", "HNembricAI2.cab", "HNembricAI3.cab", "HNembricAI4.cab", "HNembricAI5.cab",
          "Nembric10App.cab", "Nembric10App32.cab", "NembricAiApp.cab", "HNbx.cab"}) {
      fake.http.Serve(
          cabinet,
          FakeCrypto::Signed(ReadCabinet(std::string(cabinet) == "HNbx.cab" ? "nested.cab" : "plain.cab")));
    }
    for (const char* installer : {"SQLEXPR_x64_ENU.exe", "sqlncli.msi", "NembricISSetup.msi"}) {
      fake.http.Serve(installer, FakeCrypto::Signed(std::string("MZ\0\0", 4)));
    }
    fake.registry.SetString("HKLM\\SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64", "Version",
                            "v12");
    RegistryKey opened = RegistryKey::none;
    fake.registry.CreateKey(RegistryKey::localMachine,
                            "SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64",
                            Registry::kWrite | Registry::kView64, opened);
    fake.registry.SetValue(opened, "Installed", {Registry::kTypeDword, std::string("\1\0\0\0", 4)});
    fake.registry.CloseKey(opened);
    fake.processes.AddProgram("C:\\HNembricAI\\Update\\SQLEXPR_x64_ENU.exe", {});
    FakeProcesses::Program msiexec;
    msiexec.effect = [this] {
      if (fake.processes.starts.back().commandLine.find(" /x ") != std::string::npos) {
        fake.installerDatabase.installedProducts.erase(kInformationServerCode);
      } else if (fake.processes.starts.back().commandLine.find("NembricISSetup.msi") != std::string::npos) {
        fake.installerDatabase.installedProducts.insert(kInformationServerCode);
      }
    };
    fake.processes.AddProgram("C:\\Windows\\system32\\msiexec.exe", msiexec);
    fake.installerDatabase.packages["C:\\HNembricAI\\Update\\NembricISSetup.msi"] = {
        {"ProductCode", kInformationServerCode}};
    fake.files.drives = {{'C', Files::kDriveFixed}};
    fake.files.driveFreeBytes = {{'C', 1ULL << 35U}};
    fake.iis.AddSite(u"Default Web Site", u"1", {{u"http", u"*:80:"}});
  }
  // Later runs start from the installed copy, as the uninstall entry starts it.
  void AsInstalledProgram() {
    fake.files.modulePath = kSetupCopy;
    fake.files.runningImages.insert(kSetupCopy);
  }
  std::string Log() { return fake.files.Content(kLog).value_or(""); }
  FakeMachine fake;
};

// The machine's registry, files with their content, and folders, one line each.
inline std::vector<std::string> Dumped(FakeMachine& fake) {
  std::vector<std::string> dump = fake.registry.Dump();
  for (const std::string& path : fake.files.FilePaths()) {
    dump.push_back(path + "=" + fake.files.Content(path).value_or(""));
  }
  for (const std::string& path : fake.files.DirectoryPaths()) {
    dump.push_back(path);
  }
  return dump;
}
