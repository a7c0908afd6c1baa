#include "ui/passive_window.h"

namespace {

constexpr char kPassiveFirstStatus[] = "Preparing the setup...";

}  // namespace

bool PassiveWindow::OnInitDialog(WindowHandle dialog) {
  reporter_.dialogWindow = dialog;
  AddStatusAndProgress(view_, dialog, kPassiveFirstStatus);
  return true;
}

bool PassiveWindow::OnCommand(WindowHandle /*dialog*/, int /*controlId*/, int /*notifyCode*/) {
  return true;
}

BrushHandle PassiveWindow::OnControlColour(ColourMessage /*message*/, DeviceContext /*context*/) {
  return BrushHandle::none;
}

void PassiveWindow::OnDpiChanged(WindowHandle dialog) {
  PlaceStatusAndProgress(view_, dialog);
}
