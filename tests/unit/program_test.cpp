#include "run/program.h"

#include <gtest/gtest.h>

#include "setup_world.h"

namespace {

TEST(Program, StartsWithTheDefaultsOfItsPartsAndTheBlueTheme) {
  SetupWorld world;
  const SetupComponents& steps = world.steps;
  EXPECT_EQ(steps.sql.dataDrive, "  ");
  EXPECT_EQ(steps.sql.instanceCount, 0);
  EXPECT_EQ(steps.sql.versionsFound, 0U);
  EXPECT_TRUE(steps.downloadStatus.companyKeyName.empty());
  EXPECT_TRUE(steps.downloadStatus.productKeyName.empty());

  const DialogContext& ui = world.program.dialog.context;
  EXPECT_EQ(ui.backgroundColour, 0xFC9614U);
  EXPECT_EQ(ui.textColour, 0xFFFFFFU);
  EXPECT_EQ(ui.themeState, 1);
  EXPECT_EQ(world.state.runMode, RunMode::none);
  EXPECT_EQ(world.program.reporter.dialogWindow, WindowHandle::none);
  EXPECT_FALSE(world.state.log.IsOpen());
  EXPECT_EQ(world.state.httpSession, InternetHandle::none);
}

TEST(Program, MakingTheDownloadRecordDropsImpersonation) {
  SetupWorld world;
  EXPECT_EQ(world.fake.runtime.revertToSelfCalls, 1);
}

TEST(Program, ProgramsAreIndependent) {
  SetupWorld a;
  SetupWorld b;
  a.state.choices.setupType = SetupType::server;
  a.steps.sql.instanceCount = 2;
  EXPECT_EQ(b.state.choices.setupType, SetupType::none);
  EXPECT_EQ(b.steps.sql.instanceCount, 0);
}

}  // namespace
