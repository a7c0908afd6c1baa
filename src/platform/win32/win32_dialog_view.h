#pragma once

#include "platform/dialog_view.h"

struct HINSTANCE__;

class Win32DialogView final : public DialogView {
 public:
  // The instance whose resources hold the dialogs and the accelerator table.
  explicit Win32DialogView(HINSTANCE__* instance) : instance_(instance) {}

  WindowHandle CreateDialogWindow(int resourceId, DialogEvents& events) override;
  void ShowWindow(WindowHandle window, int showCommand) override;
  bool SetControlText(WindowHandle dialog, int controlId, const std::string& text) override;
  void SetProgressPosition(WindowHandle dialog, int controlId, int position) override;
  bool InvalidateWindow(WindowHandle window, bool erase) override;
  bool UpdateWindow(WindowHandle window) override;
  WindowHandle ActiveWindow() override;
  int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                     std::uint32_t flags) override;
  std::uintptr_t RunMessageLoop(int acceleratorTableId) override;

 private:
  HINSTANCE__* instance_;
};
