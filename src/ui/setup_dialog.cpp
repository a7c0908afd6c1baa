#include "ui/setup_dialog.h"

#include "app/setup_context.h"
#include "resources/resource.h"

namespace {

constexpr char kCancelQuestion[] = "Do you want to Cancel";
constexpr char kCancelCaption[] = "Halvorn Nembric v 10.1";

}  // namespace

bool SetupDialog::OnInitDialog(WindowHandle dialog) {
  // From here on every status-line write and control read goes to this dialog.
  context_.dialogWindow = dialog;
  return true;
}

bool SetupDialog::OnCommand(WindowHandle /*dialog*/, int controlId, int /*notifyCode*/) {
  switch (controlId) {
    case IDC_CANCEL:
      ConfirmCancel();
      return true;
    default:
      // The other commands arrive with the dialog logic and the run driver.
      return false;
  }
}

void SetupDialog::ConfirmCancel() {
  DialogView& dialogs = context_.machine.dialogs;
  const int answer = dialogs.ShowMessageBox(
      dialogs.ActiveWindow(), kCancelQuestion, kCancelCaption,
      DialogView::kYesNoCancel | DialogView::kIconInformation | DialogView::kDefaultButton2);
  // Yes and No both end the program at once; Cancel (or a box that could not be shown) returns to the dialog.
  if (answer == DialogView::kAnswerYes || answer == DialogView::kAnswerNo) {
    context_.machine.runtime.ExitProcess(0);
  }
}
