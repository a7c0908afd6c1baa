#pragma once

#include "platform/dialog_view.h"

struct SetupContext;

// The logic behind both dialogs (main setup and maintenance): what their messages do to the setup.
class SetupDialog final : public DialogEvents {
 public:
  explicit SetupDialog(SetupContext& context) : context_(context) {}

  bool OnInitDialog(WindowHandle dialog) override;
  bool OnCommand(WindowHandle dialog, int controlId, int notifyCode) override;

 private:
  // The Cancel button and the close box: asks, and ends the program unless the user cancels the cancel.
  void ConfirmCancel();

  SetupContext& context_;
};
