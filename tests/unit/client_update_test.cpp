#include <gtest/gtest.h>

#include "plan/setup_plan.h"
#include "product/setup_log.h"
#include "product/setup_state.h"
#include "setup_world.h"
#include "steps/toolkit/directory_helpers.h"
#include "test_cabinets.h"

namespace {

constexpr char kLogPath[] = "C:\\Halvorn NembricAI  Setup v10.1.3.Log";

TEST(CreateDirectoryChain, MakesTheMissingLevelsAndLeavesTheParentCurrent) {
  FakeMachine fake;
  fake.files.drives['D'] = Files::kDriveFixed;
  fake.files.AddDirectory("D:\\A");
  EXPECT_TRUE(CreateDirectoryChain(fake.machine, "D:\\A\\B\\C  "));
  EXPECT_TRUE(fake.files.DirectoryExists("D:\\A\\B"));
  EXPECT_TRUE(fake.files.DirectoryExists("D:\\A\\B\\C"));
  EXPECT_EQ(fake.files.currentDirectory, "D:\\A\\B");

  // A path that exists is entered and nothing is made.
  EXPECT_TRUE(CreateDirectoryChain(fake.machine, "D:\\A\\B\\C\\"));
  EXPECT_EQ(fake.files.currentDirectory, "D:\\A\\B\\C");
  EXPECT_TRUE(CreateDirectoryChain(fake.machine, ""));
}

TEST(CreateDirectoryChain, FailsWhenTheLastLevelCannotBeMade) {
  FakeMachine fake;
  fake.files.refusedPaths.insert("C:\\Locked\\Deep");
  fake.files.AddDirectory("C:\\Locked");
  // Each failure names the call and its error.
  EXPECT_EQ(CreateDirectoryChain(fake.machine, "C:\\Locked\\Deep"),
            ActionResult::Failed("CreateDirectory", 5));
  // No such drive: nothing is made elsewhere instead.
  EXPECT_EQ(CreateDirectoryChain(fake.machine, "Q:\\Nowhere\\Deep"),
            ActionResult::Failed("CreateDirectory", 3));
  EXPECT_FALSE(fake.files.DirectoryExists("C:\\Nowhere"));
  // A name beyond 255 characters is beyond the helper.
  EXPECT_EQ(CreateDirectoryChain(fake.machine, "C:\\" + std::string(256, 'n') + "\\x"),
            ActionResult::Failed("CreateDirectory", 206));
  EXPECT_FALSE(fake.files.DirectoryExists("C:\\" + std::string(255, 'n')));
}

TEST(CreateDirectoryChainEx, SkipsTheLongPathPrefixAndCollectsTheMessages) {
  FakeMachine fake;
  std::string errors;
  EXPECT_TRUE(CreateDirectoryChainEx(fake.machine, "\\\\?\\C:\\Program Files\\Halvorn\\NembricAI\\", errors));
  EXPECT_TRUE(fake.files.DirectoryExists("C:\\Program Files\\Halvorn\\NembricAI"));
  EXPECT_EQ(errors, "The system cannot find the file specified.");  // the first try to enter it

  errors.clear();
  EXPECT_TRUE(CreateDirectoryChainEx(fake.machine, "C:\\Program Files\\Halvorn\\NembricAI", errors));
  EXPECT_EQ(errors, "");  // entered at once
}

TEST(DeleteDllFiles, DeletesEveryFileNamedWithDllInTheFolderOnly) {
  FakeMachine fake;
  for (const char* name :
       {"Setup.dll.bak", "dllcache.txt", "HNb10Cmn.dll", "X.DLL", "readme.txt", "sub\\inner.dll"}) {
    fake.files.SetContent(std::string("C:\\Srv\\") + name, "x");
  }
  fake.files.AddDirectory("C:\\Srv\\dllfolder");
  EXPECT_TRUE(DeleteDllFiles(fake.machine, "C:\\Srv"));
  for (const char* gone : {"Setup.dll.bak", "dllcache.txt", "HNb10Cmn.dll"}) {
    EXPECT_FALSE(fake.files.Content(std::string("C:\\Srv\\") + gone).has_value()) << gone;
  }
  for (const char* kept : {"X.DLL", "readme.txt", "sub\\inner.dll"}) {
    EXPECT_TRUE(fake.files.Content(std::string("C:\\Srv\\") + kept).has_value()) << kept;
  }
  EXPECT_TRUE(fake.files.DirectoryExists("C:\\Srv\\dllfolder"));
  EXPECT_FALSE(DeleteDllFiles(fake.machine, "C:\\Missing"));
}

struct ClientWorld : SetupWorld {
  ClientWorld() {
    state.startDirectory = "C:\\";
    state.httpSession = fake.http.OpenSession(u"test", Http::kAccessNoProxy, std::nullopt, std::nullopt);
    state.downloadHost = "localhost";
    state.progressTotal = 14;
    state.progressDone = 5;
    state.steps.clientPackage = 3;
    state.steps.clientRuntime = 3;
    for (const char* cabinet :
         {"Nembric10AppSetup32.cab", "Nembric10AppSetup.cab", "NembricAIAppSetup.cab"}) {
      fake.http.Serve(cabinet, FakeCrypto::Signed(ReadCabinet("large.cab")));
    }
    for (const char* runtime : {"vcredist_x32.exe", "vcredist_x64.exe", "VC_redist.x64.exe"}) {
      fake.http.Serve(runtime, FakeCrypto::Signed(std::string("MZ\0\0", 4)));
    }
  }
  std::vector<std::u16string> Requested() {
    std::vector<std::u16string> paths;
    for (const auto& request : fake.http.PackageRequests()) {
      paths.push_back(request.objectPath);
    }
    return paths;
  }
  std::string Log() {
    CloseLog(state);
    return fake.files.Content(kLogPath).value_or("");
  }
};

// Each bit size fetches its runtime only when the runtime is missing, and its cabinet always.
TEST(UpdateClient, FetchesThePackagesOfTheBitSize) {
  struct Case {
    BitSize bitSize;
    bool runtimePresent;
    std::vector<std::u16string> requested;
  };
  for (const Case& c : {
           Case{BitSize::x32, false, {u"downloads/vcredist_x32.exe", u"downloads/Nembric10AppSetup32.cab"}},
           Case{BitSize::x64, false, {u"downloads/vcredist_x64.exe", u"downloads/Nembric10AppSetup.cab"}},
           Case{BitSize::x64, true, {u"downloads/Nembric10AppSetup.cab"}},
           Case{BitSize::aiClient,
                false,
                {u"downloads/VC_redist.x64.exe", u"downloads/NembricAIAppSetup.cab"}},
           Case{BitSize::aiClient, true, {u"downloads/NembricAIAppSetup.cab"}},
           Case{BitSize::none, false, {}},
       }) {
    ClientWorld world;
    world.state.choices.setupType = SetupType::client;
    world.state.choices.bitSize = c.bitSize;
    world.state.choices.clientDirectory = "C:\\Apps\\Client";
    if (c.runtimePresent) {
      world.fake.registry.AddKey("HKLM\\SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64");
      RegistryKey key = RegistryKey::none;
      world.fake.registry.CreateKey(RegistryKey::localMachine,
                                    "SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64",
                                    Registry::kWrite | Registry::kView64, key);
      world.fake.registry.SetValue(key, "Installed", {Registry::kTypeDword, std::string("\1\0\0\0", 4)});
      world.fake.registry.CloseKey(key);
      world.fake.registry.CreateKey(RegistryKey::localMachine,
                                    "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64",
                                    Registry::kWrite | Registry::kView32, key);
      world.fake.registry.SetValue(key, "Installed", {Registry::kTypeDword, std::string("\1\0\0\0", 4)});
      world.fake.registry.SetValue(key, "Version",
                                   {Registry::kTypeString, std::string("v14.40.33810.00\0", 16)});
      world.fake.registry.CloseKey(key);
    }
    for (const char* runtime : {"vcredist_x32.exe", "vcredist_x64.exe", "VC_redist.x64.exe"}) {
      world.fake.processes.AddProgram(std::string("C:\\Apps\\Client\\Update\\") + runtime,
                                      {0, nullptr, false, {}});
    }
    EXPECT_TRUE(world.steps.client.UpdateClient(PlanClientPackages(world.state.choices.bitSize)))
        << static_cast<int>(c.bitSize);
    EXPECT_EQ(world.Requested(), c.requested) << static_cast<int>(c.bitSize);
    EXPECT_EQ(world.state.choices.clientDirectory, "C:\\Apps\\Client\\");
    EXPECT_EQ(world.steps.client.updateDirectory, "C:\\Apps\\Client\\Update");
    // The update folder had to be made: its parent, the client folder, is current.
    EXPECT_EQ(world.fake.files.currentDirectory, "C:\\Apps\\Client");
    EXPECT_DOUBLE_EQ(world.state.progressDone, 11);
    if (!c.requested.empty()) {
      EXPECT_EQ(world.fake.files.Content("C:\\Apps\\Client\\large.dat").value_or("").size(), 300000U);
    }
  }
}

TEST(UpdateClient, AnUpdateFolderThatCannotBeMadeStopsTheUpdateWithTrue) {
  ClientWorld world;
  world.state.choices.setupType = SetupType::client;
  world.state.choices.bitSize = BitSize::x64;
  world.state.choices.clientDirectory = "Q:\\Client\\";
  EXPECT_TRUE(world.steps.client.UpdateClient(PlanClientPackages(world.state.choices.bitSize)));
  EXPECT_TRUE(world.fake.http.requests.empty());
  EXPECT_EQ(world.Log(),
            "Client Setup:Beging Updating Client Setup\r\n"
            "Client Setup:Could not create update directory. Udpate cannot proceed\r\n");
}

TEST(UpdateClient, ARequestThatCannotBeOpenedEndsTheUpdateWithFalse) {
  ClientWorld world;
  world.state.choices.setupType = SetupType::client;
  world.state.choices.bitSize = BitSize::x64;
  world.state.choices.clientDirectory = "C:\\Client";
  world.fake.files.AddDirectory("C:\\Client\\Update");
  world.fake.http.unopenablePaths.insert("downloads/vcredist_x64.exe");
  EXPECT_FALSE(world.steps.client.UpdateClient(PlanClientPackages(world.state.choices.bitSize)));
  EXPECT_EQ(world.fake.http.PackageRequests().size(), 1U);
  EXPECT_EQ(world.fake.files.currentDirectory, "C:\\Client\\Update");  // it existed: entered
}

}  // namespace
