#include "ui/setup_dialog.h"

#include <gtest/gtest.h>

#include "app/setup_context.h"
#include "fake_machine.h"
#include "resources/resource.h"

namespace {

class SetupDialogTest : public testing::Test {
 protected:
  SetupDialogTest() {
    dialog.OnInitDialog(window);
    fake.dialogs.activeWindow = window;
  }

  FakeMachine fake;
  SetupContext context{fake.machine};
  SetupDialog dialog{context};
  WindowHandle window = fake.dialogs.AddWindow(IDD_SETUP, {});
};

TEST_F(SetupDialogTest, InitialisationMakesTheDialogTheShowingOne) {
  EXPECT_EQ(context.dialogWindow, window);
}

TEST_F(SetupDialogTest, CancelAsksAndYesOrNoEndTheProgram) {
  for (const int answer : {DialogView::kAnswerYes, DialogView::kAnswerNo}) {
    fake.dialogs.messageBoxAnswers = {answer};
    try {
      dialog.OnCommand(window, IDC_CANCEL, 0);
      FAIL() << "answer " << answer << " should end the program";
    } catch (const ProcessExit& exit) {
      EXPECT_EQ(exit.exitCode, 0U);
    }
  }
  ASSERT_EQ(fake.dialogs.messageBoxes.size(), 2U);
  const auto& box = fake.dialogs.messageBoxes[0];
  EXPECT_EQ(box.owner, window);
  EXPECT_EQ(box.text, "Do you want to Cancel");
  EXPECT_EQ(box.caption, "Halvorn Nembric v 10.1");
  EXPECT_EQ(box.flags, 0x3U | 0x40U | 0x100U);  // Yes/No/Cancel, information, No as default
  EXPECT_FALSE(fake.files.Content("C:\\Halvorn NembricAI  Setup v10.1.3.Log").has_value());  // nothing logged
}

TEST_F(SetupDialogTest, CancellingTheCancelReturnsToTheDialog) {
  fake.dialogs.messageBoxAnswers = {DialogView::kAnswerCancel};
  EXPECT_TRUE(dialog.OnCommand(window, IDC_CANCEL, 0));
  fake.dialogs.messageBoxAnswers = {0};  // a box that could not be shown ends nothing either
  EXPECT_TRUE(dialog.OnCommand(window, IDC_CANCEL, 0));
}

}  // namespace
