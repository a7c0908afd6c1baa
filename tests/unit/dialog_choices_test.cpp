#include "ui/dialog_choices.h"

#include <gtest/gtest.h>

#include "dialog_test_support.h"

namespace {

TEST(ReadSetupChoices, NamesCountOnlyWhenTheWholeTextIsOne) {
  struct Case {
    const char* setupType;
    const char* bitSize;
    const char* edition;
    SetupType expectedType;
    BitSize expectedBitSize;
    Edition expectedEdition;
  };
  for (const Case& c : {
           Case{"Both", "AI Client", "Enterprise", SetupType::both, BitSize::aiClient, Edition::enterprise},
           Case{"Server", "32 Bit", "Express", SetupType::server, BitSize::x32, Edition::express},
           Case{"Client", "64 Bit", "Team", SetupType::client, BitSize::x64, Edition::team},
           Case{"Client", "64 Bit", "Essential", SetupType::client, BitSize::x64, Edition::essential},
           // A longer text starting with a name, or a name in other letters, is no choice.
           Case{"Both ", "64 bit", "EnterpriseX", SetupType::none, BitSize::none, Edition::none},
           Case{"server", "AI", "Enterprise Edition", SetupType::none, BitSize::none, Edition::none},
       }) {
    DialogFixture d(RunMode::modify);
    d.fake.dialogs.SetControlText(d.window, IDC_SETUP_TYPE, c.setupType);
    d.fake.dialogs.SetControlText(d.window, IDC_BIT_SIZE, c.bitSize);
    d.fake.dialogs.SetControlText(d.window, IDC_EDITION, c.edition);
    const SetupChoices choices = ReadSetupChoices(d.ui);
    EXPECT_EQ(choices.setupType, c.expectedType) << c.setupType;
    EXPECT_EQ(choices.bitSize, c.expectedBitSize) << c.bitSize;
    EXPECT_EQ(choices.edition, c.expectedEdition) << c.edition;
  }
}

}  // namespace
