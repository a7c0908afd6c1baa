#pragma once

#include "platform/dialog_view.h"
#include "ui/dialog_context.h"
#include "ui/field_checks.h"
#include "ui/run_requests.h"

// The logic behind both dialogs (main setup and maintenance) and behind the keys of their fields. OK and
// Cancel hand the run to the program through `RunRequests`.
class SetupDialog final : public DialogEvents, public FieldEvents {
 public:
  SetupDialog(SetupState& setup, DialogReporter& reporter, SqlServerSetup& sql, RunRequests& run)
      : context(setup, reporter, sql), run_(run) {}

  bool OnInitDialog(WindowHandle dialog) override;
  bool OnCommand(WindowHandle dialog, int controlId, int notifyCode) override;
  BrushHandle OnControlColour(ColourMessage message, DeviceContext deviceContext) override;
  // The main dialog's window menu holds the pre-flight check: it checks the fields as OK does and hands
  // the choices to the check.
  bool OnSystemCommand(WindowHandle dialog, int command) override;
  void OnDpiChanged(WindowHandle dialog) override;

  // Tab and Enter check the field and move on, or keep the user in it; F4 and the drop-down button of a
  // directory field open the folder picker.
  bool OnFieldKeyDown(WindowHandle receiving, int fieldId, int virtualKey, bool altDown) override;
  bool OnFieldKeyUp(WindowHandle receiving, int fieldId, int virtualKey) override;
  bool OnFieldMouseButton(WindowHandle receiving, int fieldId, int x, int y) override;

  // Hides the dialog at the end of a run.
  void EndDialog();

  DialogContext context;

 private:
  // OK of either dialog: opens the download session when none is open yet, then hands the maintenance
  // choice, or the main dialog's choices once they pass their checks, to the run.
  void OnOk();
  // The main dialog's choices once the download session is open and they pass their checks; nothing, with
  // the failed check shown, otherwise.
  std::optional<SetupChoices> CheckedChoices();
  // A failed check of OK: the groups follow the Setup Type read, then the message and the field.
  void ReportInputError(const SetupChoices& choices, const InputError& error);
  // The Cancel button and the close box: asks, and ends the program unless the user cancels the cancel.
  void ConfirmCancel();
  void ToggleTheme(WindowHandle dialog);
  void SubclassFields(WindowHandle dialog);

  RunRequests& run_;
};

// Fills the dialog that has just been created: defaults, lists, the groups of the run mode, the status line
// and the progress bar.
void InitSetupDialog(DialogContext& ui, WindowHandle dialog);
