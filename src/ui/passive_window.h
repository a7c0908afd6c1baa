#pragma once

#include "platform/dialog_view.h"
#include "ui/dialog_reporter.h"

// The small window of a passive run: the status line and the progress bar, nothing to answer. It takes
// no command (no close box, Esc does nothing), so the run goes to its end as an unattended one does.
class PassiveWindow final : public DialogEvents {
 public:
  PassiveWindow(DialogView& view, DialogReporter& reporter) : view_(view), reporter_(reporter) {}

  bool OnInitDialog(WindowHandle dialog) override;
  bool OnCommand(WindowHandle dialog, int controlId, int notifyCode) override;
  BrushHandle OnControlColour(ColourMessage message, DeviceContext context) override;
  void OnDpiChanged(WindowHandle dialog) override;

 private:
  DialogView& view_;
  DialogReporter& reporter_;
};

// Adds the status line (showing `firstStatus`) and the progress bar (at 0 of 100) along the bottom of a
// dialog, placed for its scaling and drawn in its font.
void AddStatusAndProgress(DialogView& view, WindowHandle dialog, const char* firstStatus);
// Places them again for the dialog's scaling now (after it moved to a monitor of another scaling).
void PlaceStatusAndProgress(DialogView& view, WindowHandle dialog);
