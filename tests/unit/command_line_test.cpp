#include "run/command_line.h"

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
    testing::Values(RunModeCase{"", RunMode::install}, RunModeCase{"   ", RunMode::install},
                    RunModeCase{"\t", RunMode::none},  // a tab is not a blank
                    RunModeCase{"/install", RunMode::install}, RunModeCase{"/Install", RunMode::none},
                    RunModeCase{"/reinstall", RunMode::install},
                    RunModeCase{"/uninstall /type=server", RunMode::uninstall},
                    RunModeCase{"/uninstall /type=client", RunMode::uninstall},
                    RunModeCase{"/repair /type=client", RunMode::repair},
                    RunModeCase{"/repair /type=server", RunMode::repair},
                    RunModeCase{"/modify /type=server", RunMode::modify | RunMode::modifyServer},
                    RunModeCase{"/modify /type=client", RunMode::modify | RunMode::modifyClient},
                    RunModeCase{"/modify", RunMode::modify},
                    RunModeCase{"/modify /type=client /type=server", RunMode::modify | RunMode::modifyServer},
                    RunModeCase{"/repair /modify", RunMode::modify},
                    RunModeCase{"/modify /repair", RunMode::modify},
                    RunModeCase{"/modify /type=server /uninstall", RunMode::uninstall},
                    RunModeCase{"/repair /uninstall", RunMode::uninstall},
                    RunModeCase{"/install /repair", RunMode::repair},
                    RunModeCase{"server client", RunMode::none}, RunModeCase{"/REPAIR", RunMode::none},
                    RunModeCase{"xxrepairxx", RunMode::repair},
                    RunModeCase{"/modifyclient", RunMode::modify | RunMode::modifyClient},
                    RunModeCase{"/source=localhost", RunMode::none}));

TEST(RunModeDialog, UninstallAndRepairUseTheMaintenanceDialog) {
  EXPECT_TRUE(UsesMaintenanceDialog(RunMode::uninstall));
  EXPECT_TRUE(UsesMaintenanceDialog(RunMode::repair));
  EXPECT_FALSE(UsesMaintenanceDialog(RunMode::install));
  EXPECT_FALSE(UsesMaintenanceDialog(RunMode::modify | RunMode::modifyServer));
  EXPECT_FALSE(UsesMaintenanceDialog(RunMode::none));
}

}  // namespace
