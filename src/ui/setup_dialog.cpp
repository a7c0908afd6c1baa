#include "ui/setup_dialog.h"

#include "app/setup_context.h"

bool SetupDialog::OnInitDialog(WindowHandle dialog) {
  // From here on every status-line write and control read goes to this dialog.
  context_.dialogWindow = dialog;
  return true;
}

bool SetupDialog::OnCommand(WindowHandle /*dialog*/, int /*controlId*/, int /*notifyCode*/) {
  // No command of the dialog has an action yet: the fields, buttons and the run arrive with the dialog
  // logic and the run driver.
  return false;
}
