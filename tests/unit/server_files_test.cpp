#include <gtest/gtest.h>

#include "resources/resource.h"
#include "setup_world.h"

namespace {

constexpr char kLogPath[] = "C:\\Halvorn NembricAI  Setup v10.1.3.Log";
constexpr const char* kModules[] = {"HNembricAI.dll", "HNb10Cml.dll", "HNb10Cmn.dll", "HNb10Ntx.dll",
                                    "Hv10si.dll",     "Hv10ci.dll",   "Hv10math.dll", "HNb10lzma.dll"};

struct ServerFilesWorld : SetupWorld {
  ServerFilesWorld() {
    state.startDirectory = "C:\\";
    program.reporter.dialogWindow = fake.dialogs.AddWindow(IDD_SETUP, {IDC_STATUS_LINE, IDC_PROGRESS_BAR});
  }
  std::string Log() { return fake.files.Content(kLogPath).value_or(""); }
  std::string StatusLine() {
    return fake.dialogs.ControlOf(program.reporter.dialogWindow, IDC_STATUS_LINE).text;
  }
  ServerSetup& server = steps.server;
};

TEST(VerifyServerFiles, LogsTheMissingModulesInOneLineOrTakesThePort) {
  struct Case {
    std::vector<const char*> missing;
    const char* line;  // nullptr: none
  };
  const std::vector<Case> cases = {
      {{}, nullptr},
      {{"HNembricAI.dll"}, "HNembricAI.dll.Please select installation folder or let Setup search for you."},
      {{"HNb10Cml.dll", "Hv10si.dll"},
       " HNb10Cml.dll,Hv10si.dll.Please select installation folder or let Setup search for you."},
      {{"HNembricAI.dll", "HNb10lzma.dll"},
       "HNembricAI.dll,HNb10lzma.dll.Please select installation folder or let Setup search for you."},
  };
  for (const Case& c : cases) {
    ServerFilesWorld world;
    world.state.choices.serverDirectory = "C:\\Srv\\";
    world.state.choices.port = 1064;
    world.fake.files.AddDirectory("C:\\Srv");
    for (const char* module : kModules) {
      if (std::find(c.missing.begin(), c.missing.end(), std::string_view(module)) == c.missing.end()) {
        // Names are matched as Windows matches them, without case.
        world.fake.files.SetContent(
            std::string("C:\\Srv\\") + (module == kModules[1] ? "hnb10CML.DLL" : module), "x");
      }
    }
    world.server.VerifyServerFiles();
    EXPECT_EQ(world.Log(), c.line == nullptr ? "" : std::string("Server Setup:") + c.line + "\r\n");
    EXPECT_EQ(world.server.websitePort, c.line == nullptr ? 1064 : 0);
    EXPECT_EQ(world.server.moduleFolder, "C:\\Srv\\");
  }
}

TEST(VerifyServerFiles, AServerDirectoryThatDoesNotExistIsAllThatIsSaid) {
  ServerFilesWorld world;
  world.state.choices.serverDirectory = "D:\\Nowhere\\";
  world.state.choices.port = 80;
  world.server.VerifyServerFiles();
  EXPECT_EQ(
      world.Log(),
      "Server Setup:This folder does not exist.Please specify Folder where HNembricAI is installed \r\n");
  EXPECT_EQ(world.server.websitePort, 0);
}

TEST(SearchServerFiles, FindsTheMainModuleAndReportsIt) {
  struct Case {
    std::vector<std::string> files;
    bool found;
    const char* moduleFolder;
  };
  const std::vector<Case> cases = {
      {{"C:\\Srv\\a\\b\\HNembricAI.dll", "C:\\Srv\\a\\other.dll"}, true, "C:\\Srv\\a\\b\\"},
      {{"C:\\Srv\\hnembricai.DLL"}, true, "C:\\Srv\\"},
      {{"C:\\Srv\\a\\HNb10Cml.dll", "C:\\Srv\\.hidden\\x.txt"}, false, ""},
  };
  for (const Case& c : cases) {
    ServerFilesWorld world;
    for (const std::string& file : c.files) {
      world.fake.files.SetContent(file, "x");
    }
    EXPECT_EQ(world.server.SearchServerFiles("C:\\Srv"), c.found) << c.files[0];
    EXPECT_EQ(world.server.moduleFolder, c.moduleFolder);
  }
}

TEST(SearchServerFiles, ADirectoryThatDoesNotExistIsNoFindAndLeavesTheStatusLine) {
  ServerFilesWorld world;
  world.program.reporter.ShowStatus("before");
  EXPECT_FALSE(world.server.SearchServerFiles("Q:\\Missing"));
  EXPECT_EQ(world.StatusLine(), "before");
}

TEST(SearchServerFiles, EndsWhereTheTwoSearchesWouldCallEachOtherForEver) {
  // The information server's folder run together with a subfolder's name is a folder that holds a main
  // module: its find looks at the information server again, whose search finds it again, and so on.
  ServerFilesWorld world;
  world.fake.files.SetContent("C:\\Srv\\HNembricAI.dll", "x");
  world.fake.files.AddDirectory("c:\\program files\\NembricIS\\x");
  world.fake.files.SetContent("c:\\program files\\NembricISx\\HNembricAI.dll", "x");
  EXPECT_TRUE(world.server.SearchServerFiles("C:\\Srv"));
  EXPECT_EQ(world.server.moduleFolder, "c:\\program files\\NembricISx\\");
}

TEST(SearchServerFiles, DoesNotWalkBeyondTheLongestDirectoryText) {
  ServerFilesWorld world;
  std::string deep = "C:\\D";
  while (deep.size() < 1030) {
    deep += "\\d";
  }
  world.fake.files.SetContent(deep + "\\HNembricAI.dll", "x");
  EXPECT_FALSE(world.server.SearchServerFiles("C:\\D"));
  ASSERT_EQ(world.StatusLine().substr(0, 13), "Searching in ");
  EXPECT_LE(world.StatusLine().size() - 13, 1023U);
}

TEST(FindInformationServer, LooksForItsProgramInItsFixedFolder) {
  ServerFilesWorld world;
  EXPECT_FALSE(world.server.FindInformationServer());
  world.fake.files.SetContent("c:\\program files\\NembricIS\\readme.txt", "x");
  EXPECT_FALSE(world.server.FindInformationServer());
  EXPECT_EQ(world.StatusLine(), "Searching in c:\\program files\\NembricIS");
  world.fake.files.SetContent("C:\\Program Files\\NembricIS\\nembricis.EXE", "x");
  EXPECT_TRUE(world.server.FindInformationServer());
}

}  // namespace
