#include <gtest/gtest.h>

#include "setup_world.h"
#include "steps/actions/setup_program_copied.h"

namespace {

constexpr char kProgram[] = "C:\\Program Files\\Halvorn\\NembricAI\\NembricSetup.exe";
constexpr char kFolder[] = "C:\\Program Files\\Halvorn\\NembricAI";
constexpr char kMaker[] = "C:\\Program Files\\Halvorn";

// The last uninstall removes the setup program, then the record, then their folders. The running program
// cannot be deleted: it is moved aside at once and deleted by a helper once it has ended; one that cannot be
// moved either (another process holds it without sharing its deletion) is deleted, with its folders, when
// Windows next starts. Either way the record goes only once the program is gone from its place.
TEST(RemoveSetupProgram, TheProgramLeavesItsFolderBeforeTheRecordGoes) {
  enum class Held { no, running, lockedOpen };
  struct Case {
    Held held;
    const char* line;
    bool foldersGone;
    std::size_t helpers;
    std::size_t restartRemovals;
  };
  const Case cases[] = {
      {Held::no, "User Interface:Removed C:\\Program Files\\Halvorn\\NembricAI\\NembricSetup.exe\r\n", true,
       0, 0},
      {Held::running,
       "User Interface:Removing after setup ends: C:\\Program "
       "Files\\Halvorn\\NembricAI\\NembricSetup.exe\r\n",
       true, 1, 2},
      {Held::lockedOpen,
       "User Interface:Removing when Windows restarts: C:\\Program "
       "Files\\Halvorn\\NembricAI\\NembricSetup.exe\r\n",
       false, 0, 3},
  };
  for (const Case& c : cases) {
    SetupWorld world;
    world.state.startDirectory = "C:\\";
    world.fake.files.SetContent(kProgram, "MZ setup");
    world.fake.files.SetContent(kInstallRecordPath, "Nembric setup install record 2\r\n");
    if (c.held == Held::running) {
      world.fake.files.runningImages.insert(kProgram);
    } else if (c.held == Held::lockedOpen) {
      world.fake.files.heldOpen.insert(kProgram);
    }
    RemoveSetupProgram(world.state, {{RecordScope::shared, RecordEntry::Kind::folder, {kMaker}},
                                     {RecordScope::shared, RecordEntry::Kind::folder, {kFolder}},
                                     {RecordScope::shared, RecordEntry::Kind::setupCopy, {kProgram}}});
    const std::string log = world.fake.files.Content("C:\\Halvorn NembricAI  Setup v10.1.3.Log").value_or("");
    EXPECT_TRUE(log.starts_with(c.line)) << log;
    EXPECT_FALSE(world.fake.files.Content(kInstallRecordPath).has_value());
    EXPECT_EQ(world.fake.files.Content(kProgram).has_value(), c.held == Held::lockedOpen);
    EXPECT_EQ(!world.fake.files.DirectoryExists(kFolder) && !world.fake.files.DirectoryExists(kMaker),
              c.foldersGone);
    EXPECT_EQ(world.state.startAtEnd.has_value(), c.helpers == 1);
    ASSERT_EQ(world.fake.files.restartRemovals.size(), c.restartRemovals);
    if (c.held == Held::lockedOpen) {
      // The program first, then its folders, innermost first: each is empty by its turn.
      EXPECT_EQ(world.fake.files.restartRemovals, (std::vector<std::string>{kProgram, kFolder, kMaker}));
      EXPECT_EQ(log.find("Kept folder"), std::string::npos) << log;
    }
  }
}

}  // namespace
