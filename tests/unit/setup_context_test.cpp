#include "app/setup_context.h"

#include <gtest/gtest.h>

#include "fake_machine.h"

namespace {

TEST(SetupContext, ComponentsPointBackAndStartWithTheirDefaults) {
  FakeMachine fake;
  SetupContext context(fake.machine);

  EXPECT_EQ(&context.serverSetup->owner, &context);
  EXPECT_EQ(&context.clientSetup->owner, &context);
  EXPECT_EQ(&context.sqlServerSetup->owner, &context);
  EXPECT_EQ(&context.downloadStatus->owner, &context);

  EXPECT_EQ(context.serverSetup->alternatePort, 8080);
  EXPECT_EQ(context.serverSetup->workBuffer.size(), 40960U);
  EXPECT_EQ(context.sqlServerSetup->dataDrive, "  ");
  EXPECT_EQ(context.sqlServerSetup->instanceCount, 0);
  EXPECT_EQ(context.sqlServerSetup->versionsFound, 0U);
  EXPECT_TRUE(context.downloadStatus->companyKeyName.empty());
  EXPECT_TRUE(context.downloadStatus->productKeyName.empty());

  EXPECT_EQ(context.backgroundColour, 0xFC9614U);
  EXPECT_EQ(context.textColour, 0xFFFFFFU);
  EXPECT_EQ(context.themeState, 1);
  EXPECT_EQ(context.runMode, 0U);
  EXPECT_EQ(context.options, 0U);
  EXPECT_EQ(context.dialogWindow, WindowHandle::none);
  EXPECT_EQ(context.logFile, FileHandle::none);
  EXPECT_EQ(context.httpSession, InternetHandle::none);
}

TEST(SetupContext, MakingTheDownloadRecordDropsImpersonation) {
  FakeMachine fake;
  SetupContext context(fake.machine);
  EXPECT_EQ(fake.runtime.revertToSelfCalls, 1);
}

TEST(SetupContext, ContextsAreIndependent) {
  FakeMachine first;
  FakeMachine second;
  SetupContext a(first.machine);
  SetupContext b(second.machine);
  a.options = kOptionServer;
  a.sqlServerSetup->instanceCount = 2;
  EXPECT_EQ(b.options, 0U);
  EXPECT_EQ(b.sqlServerSetup->instanceCount, 0);
}

}  // namespace
