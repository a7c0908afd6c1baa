#include "app/run_mode.h"

#include <gtest/gtest.h>

namespace {

struct RunModeCase {
  const char* commandLine;
  RunMode expected;
};

void PrintTo(const RunModeCase& c, std::ostream* out) {
  *out << '"' << c.commandLine << '"';
}

class RunModeTest : public testing::TestWithParam<RunModeCase> {};

TEST_P(RunModeTest, ParsesKeywordsAsSubstrings) {
  EXPECT_EQ(ParseRunMode(GetParam().commandLine), GetParam().expected)
      << '"' << GetParam().commandLine << '"';
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, RunModeTest,
    testing::Values(
        RunModeCase{"", kRunInstall}, RunModeCase{"   ", kRunInstall},
        RunModeCase{"\t", 0},  // a tab is not a blank
        RunModeCase{"/install", kRunInstall}, RunModeCase{"/Install", 0},
        RunModeCase{"/reinstall", kRunInstall}, RunModeCase{"/uninstall /type=server", kRunUninstall},
        RunModeCase{"/uninstall /type=client", kRunUninstall},
        RunModeCase{"/repair /type=client", kRunRepair}, RunModeCase{"/repair /type=server", kRunRepair},
        RunModeCase{"/modify /type=server", kRunModify | kRunModifyServer},
        RunModeCase{"/modify /type=client", kRunModify | kRunModifyClient},
        RunModeCase{"/modify", kRunModify},
        RunModeCase{"/modify /type=client /type=server", kRunModify | kRunModifyServer},
        RunModeCase{"/repair /modify", kRunModify}, RunModeCase{"/modify /repair", kRunModify},
        RunModeCase{"/modify /type=server /uninstall", kRunUninstall},
        RunModeCase{"/repair /uninstall", kRunUninstall}, RunModeCase{"/install /repair", kRunRepair},
        RunModeCase{"server client", 0}, RunModeCase{"/REPAIR", 0}, RunModeCase{"xxrepairxx", kRunRepair},
        RunModeCase{"/modifyclient", kRunModify | kRunModifyClient}, RunModeCase{"/source=localhost", 0}));

TEST(RunModeDialog, UninstallAndRepairUseTheMaintenanceDialog) {
  EXPECT_TRUE(UsesMaintenanceDialog(kRunUninstall));
  EXPECT_TRUE(UsesMaintenanceDialog(kRunRepair));
  EXPECT_FALSE(UsesMaintenanceDialog(kRunInstall));
  EXPECT_FALSE(UsesMaintenanceDialog(kRunModify | kRunModifyServer));
  EXPECT_FALSE(UsesMaintenanceDialog(0));
}

}  // namespace
