#include <gtest/gtest.h>

#include <optional>

#include "run_world.h"

namespace {

constexpr char16_t kInstall[] = u"/quiet /answers=C:\\Setup\\answers.ini /source=localhost";
constexpr char16_t kUndo[] = u"/quiet /undo /type=client";
constexpr char kReadme[] = "C:\\NembricAIApp\\readme.txt";

// What the client's install leaves: the registry, and the files and folders of the client's folder.
std::vector<std::string> ClientState(FakeMachine& fake) {
  std::vector<std::string> state;
  for (std::string& line : Dumped(fake)) {
    if (!line.starts_with("c:\\setup") && !line.starts_with("c:\\program files") &&
        !line.starts_with("c:\\windows")) {
      state.push_back(std::move(line));
    }
  }
  return state;
}

// The client's next version on the download server, installed over the first.
void Update(RunWorld& world) {
  world.fake.http.Serve("NembricAIAppSetup.cab", FakeCrypto::Signed(ReadCabinet("update.cab")));
  ASSERT_EQ(world.Run(kInstall), 0U) << world.Log();
  ASSERT_EQ(world.fake.files.Content(kReadme), "Halvorn Nembric test file, next version\r\n");
  ASSERT_TRUE(world.fake.files.Content("C:\\NembricAIApp\\news.txt"));
}

// /undo takes the client's last update back to what the install before it left; a file changed by hand
// since stays, named; a first install is removed; a second undo finds nothing and changes nothing.
TEST(UpdateUndo, PutsTheComponentBackAsTheRunBeforeLeftIt) {
  struct Case {
    const char* what;
    bool updated;
    bool changedByHand;
    std::uint32_t exitCode;
    const char* line;
  };
  for (const Case& c : {
           Case{"update", true, false, 0, "Client Setup:Taking back the last update\r\n"},
           Case{"a file changed since", true, true, 1603,
                "Client Setup:Kept file changed since the update: c:\\NembricAIApp\\readme.txt\r\n"},
           Case{"first install", false, false, 0,
                "Client Setup:The last update was the first install: it is removed\r\n"},
       }) {
    RunWorld world;
    const std::vector<std::string> empty = ClientState(world.fake);
    ASSERT_EQ(world.Run(kInstall), 0U) << world.Log();
    world.AsInstalledProgram();
    const std::vector<std::string> first = ClientState(world.fake);
    if (c.updated) {
      Update(world);
    }
    if (c.changedByHand) {
      world.fake.files.SetContent(kReadme, "changed by hand\r\n");
    }
    // Its plan names the files it puts back and changes nothing.
    if (c.updated && !c.changedByHand) {
      const std::vector<std::string> updated = Dumped(world.fake);
      EXPECT_EQ(world.Run(u"/plan=C:\\Setup\\undo.json /undo /type=client"), 0U);
      const std::string plan = world.fake.files.Content("C:\\Setup\\undo.json").value_or("");
      EXPECT_NE(plan.find(R"("path": "c:\\NembricAIApp\\readme.txt", "replaces": true)"), std::string::npos)
          << plan;
      world.fake.files.Remove("C:\\Setup\\undo.json");
      EXPECT_EQ(Dumped(world.fake), updated);
    }
    EXPECT_EQ(world.Run(kUndo), c.exitCode) << c.what << "\n" << world.Log();

    EXPECT_NE(world.Log().find(c.line), std::string::npos) << c.what << "\n" << world.Log();
    std::vector<std::string> expected = c.updated ? first : empty;
    if (c.changedByHand) {
      std::replace(expected.begin(), expected.end(),
                   std::string("c:\\nembricaiapp\\readme.txt=Halvorn Nembric test file\r\n"),
                   std::string("c:\\nembricaiapp\\readme.txt=changed by hand\r\n"));
    }
    EXPECT_EQ(ClientState(world.fake), expected) << c.what << "\n" << world.Log();
    // The copies the update kept are gone with it.
    const std::vector<std::string> files = world.fake.files.FilePaths();
    EXPECT_TRUE(std::none_of(files.begin(), files.end(), [](const std::string& path) {
      return path.starts_with(kBackupFolder);
    })) << c.what;

    // A second undo finds nothing to take back, and changes nothing.
    const std::vector<std::string> undone = ClientState(world.fake);
    const std::optional<std::string> record = world.fake.files.Content(kRecord);
    EXPECT_EQ(world.Run(kUndo), 0U) << c.what;
    EXPECT_NE(
        world.Log().find("Client Setup:Nothing to undo: no update of this component can be taken back\r\n"),
        std::string::npos)
        << c.what << world.Log();
    EXPECT_EQ(ClientState(world.fake), undone) << c.what;
    EXPECT_EQ(world.fake.files.Content(kRecord), record) << c.what;
    // The uninstall that follows leaves nothing of the client (a file changed by hand stays).
    if (c.updated && !c.changedByHand) {
      EXPECT_EQ(world.Run(u"/quiet /uninstall /type=client"), 0U) << c.what;
      EXPECT_EQ(ClientState(world.fake), empty) << c.what << world.Log();
    }
  }
}

// An undo cut off after any change is finished by the next run: the client is then as the install before
// the update left it, never a mix of the two.
TEST(UpdateUndo, ACutUndoIsFinishedByTheNextRun) {
  std::vector<std::string> first;
  std::size_t total = 0;
  {
    RunWorld world;
    ASSERT_EQ(world.Run(kInstall), 0U);
    world.AsInstalledProgram();
    first = ClientState(world.fake);
    Update(world);
    world.fake.OnEachChange([&total] { ++total; });
    ASSERT_EQ(world.Run(kUndo), 0U) << world.Log();
    world.fake.OnEachChange(nullptr);
  }
  ASSERT_GT(total, 5U);
  for (std::size_t n = 1; n <= total; ++n) {
    RunWorld world;
    ASSERT_EQ(world.Run(kInstall), 0U);
    world.AsInstalledProgram();
    Update(world);
    std::size_t seen = 0;
    std::optional<FakeFiles::Disk> disk;
    std::optional<FakeRegistry::Hive> hive;
    world.fake.OnEachChange([&] {
      if (++seen == n) {
        disk = world.fake.files.SaveDisk();
        hive = world.fake.registry.SaveHive();
      }
    });
    world.Run(kUndo);
    world.fake.OnEachChange(nullptr);
    ASSERT_TRUE(disk && hive) << n;
    world.fake.files.RestoreDisk(*disk);
    world.fake.registry.RestoreHive(*hive);
    EXPECT_EQ(world.Run(kUndo), 0U) << n << "\n" << world.Log();
    EXPECT_EQ(ClientState(world.fake), first) << n << "\n" << world.Log();
    if (HasFailure()) {
      return;
    }
  }
}

}  // namespace

namespace {

// What the server's install leaves: the registry, the server's folder and the website's configuration.
std::vector<std::string> ServerState(FakeMachine& fake) {
  std::vector<std::string> state;
  for (std::string& line : Dumped(fake)) {
    if (!line.starts_with("c:\\setup") && !line.starts_with("c:\\program files") &&
        !line.starts_with("c:\\windows")) {
      state.push_back(std::move(line));
    }
  }
  state.push_back(fake.iis.Dump());
  return state;
}

// The server's next version replaces a module and adds a file; its website moves to another port. The
// undo of both components puts the modules, the registrations and the website back as the first install
// left them; what an installer put in place, a product of its own, stays and is named.
TEST(UpdateUndo, PutsTheServerAndItsWebsiteBack) {
  RunWorld world;
  world.PrepareServer();
  ASSERT_EQ(world.Run(kInstall), 0U) << world.Log();
  world.AsInstalledProgram();
  const std::vector<std::string> first = ServerState(world.fake);
  world.fake.http.Serve("HNembricAI1.cab", FakeCrypto::Signed(ReadCabinet("update.cab")));
  world.fake.files.SetContent(
      kAnswers,
      "[Setup]\nSetupType=Both\nBitSize=AI Client\nServerDirectory=C:\\HNembricAI\nPort=8080\n"
      "InstallSqlServer=No\n");
  ASSERT_EQ(world.Run(kInstall), 0U) << world.Log();
  ASSERT_EQ(world.fake.files.Content("C:\\HNembricAI\\news.txt"), "What is new\r\n");
  ASSERT_NE(world.fake.iis.Dump(), first.back());

  EXPECT_EQ(world.Run(u"/quiet /undo"), 0U) << world.Log();
  // The client's runtime installer ran again (this machine's runtime is not registered); the server's did
  // not, its runtime being there, and is not named.
  EXPECT_NE(world.Log().find("Client Setup:Kept as it is, a product of its own with its own installer: "
                             "VC_redist.x64.exe\r\n"),
            std::string::npos)
      << world.Log();
  EXPECT_EQ(world.Log().find("vcredist_x64.exe"), std::string::npos) << world.Log();
  const std::vector<std::string> undone = ServerState(world.fake);
  EXPECT_EQ(undone.back(), first.back());
  EXPECT_EQ(undone, first) << world.Log();
}

}  // namespace

namespace {

// A module a process holds is put back when Windows restarts, and the undo ends asking for the restart.
TEST(UpdateUndo, AModuleInUseIsPutBackAtTheNextRestart) {
  RunWorld world;
  ASSERT_EQ(world.Run(kInstall), 0U);
  world.AsInstalledProgram();
  Update(world);
  const std::string module = "c:\\NembricAIApp\\bin\\tool.dll";
  world.fake.files.heldOpen.insert(module);
  EXPECT_EQ(world.Run(kUndo), 3010U) << world.Log();
  EXPECT_EQ(world.fake.files.restartReplacements,
            (std::vector<std::pair<std::string, std::string>>{{module + ".new", module}}));
  EXPECT_EQ(world.fake.files.Content(module + ".new"), "MZ tool library stand-in\r\n");
  EXPECT_EQ(world.fake.files.Content(kReadme), "Halvorn Nembric test file\r\n");
}

// The copies an update keeps go with the component's uninstall.
TEST(UpdateUndo, TheUninstallTakesTheKeptCopiesWithIt) {
  RunWorld world;
  ASSERT_EQ(world.Run(kInstall), 0U);
  world.AsInstalledProgram();
  Update(world);
  ASSERT_TRUE(world.fake.files.Content(std::string(kBackupFolder) + "\\3-readme.txt")) << world.Log();
  EXPECT_EQ(world.Run(u"/quiet /uninstall /type=client"), 0U) << world.Log();
  const std::vector<std::string> files = world.fake.files.FilePaths();
  EXPECT_TRUE(std::none_of(files.begin(), files.end(),
                           [](const std::string& path) { return path.starts_with(kBackupFolder); }));
}

}  // namespace

namespace {

// On a machine the setup never changed, an undo finds nothing and ends with 0; a /type= it does not know
// ends with 87 before anything is looked at.
TEST(UpdateUndo, NothingInstalledIsNothingToUndo) {
  RunWorld world;
  EXPECT_EQ(world.Run(u"/quiet /undo"), 0U) << world.Log();
  EXPECT_EQ(world.Log(),
            "Server Setup:Nothing to undo: no update of this component can be taken back\r\n"
            "Client Setup:Nothing to undo: no update of this component can be taken back\r\n"
            "User Interface:Nothing to undo\r\n");
  EXPECT_EQ(world.Run(u"/quiet /undo /type=all"), 87U);
  EXPECT_NE(world.Log().find("/undo takes /type=client, server or both, or none for both"), std::string::npos)
      << world.Log();
}

}  // namespace
