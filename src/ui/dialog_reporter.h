#pragma once

#include <functional>
#include <string>

#include "core/reporter.h"
#include "platform/dialog_view.h"

// A run reports into the dialog that is showing: its status line and progress bar; message boxes have no
// owner. Before a dialog exists the status line shows nothing.
class DialogReporter final : public Reporter {
 public:
  explicit DialogReporter(DialogView& view) : view_(view) {}

  void ShowStatus(const std::string& text) override;
  void ShowProgress(int percent) override;
  void Repaint(bool now) override;
  int ShowMessage(const std::string& text, const std::string& caption, std::uint32_t flags) override;

  // The dialog that is showing (113 or 2000); set while it is initialised.
  WindowHandle dialogWindow = WindowHandle::none;
  // A run without a window: each message box is handed here instead (the run logs it), and the box counts
  // as answered with its first button.
  std::function<void(const std::string& text)> messageSink;

 private:
  DialogView& view_;
};
