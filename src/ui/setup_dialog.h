#pragma once

#include "platform/dialog_view.h"

struct SetupContext;

// The logic behind both dialogs (main setup and maintenance) and behind the keys of their fields.
class SetupDialog final : public DialogEvents, public FieldEvents {
 public:
  explicit SetupDialog(SetupContext& context) : context_(context) {}

  bool OnInitDialog(WindowHandle dialog) override;
  bool OnCommand(WindowHandle dialog, int controlId, int notifyCode) override;
  BrushHandle OnControlColour(ColourMessage message, DeviceContext deviceContext) override;

  // Tab and Enter check the field and move on, or keep the user in it; F4 and the drop-down button of a
  // directory field open the folder picker.
  bool OnFieldKeyDown(WindowHandle receiving, int fieldId, int virtualKey, bool altDown) override;
  bool OnFieldKeyUp(WindowHandle receiving, int fieldId, int virtualKey) override;
  bool OnFieldMouseButton(WindowHandle receiving, int fieldId, int x, int y) override;

 private:
  // The Cancel button and the close box: asks, and ends the program unless the user cancels the cancel.
  void ConfirmCancel();
  void ToggleTheme(WindowHandle dialog);
  void SubclassFields(WindowHandle dialog);

  SetupContext& context_;
};

// Fills the dialog that has just been created: defaults, lists, the groups of the run mode, the status line
// and the progress bar.
void InitSetupDialog(SetupContext& context, WindowHandle dialog);
