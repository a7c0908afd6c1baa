#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/dialog_view.h"

// In-memory dialogs: controls with their texts and positions, what was shown and painted, and message
// boxes answered from a script.
class FakeDialogView final : public DialogView {
 public:
  struct Control {
    std::string text;
    int position = 0;
  };
  struct Window {
    int resourceId = 0;
    bool shown = false;
    int showCommand = -1;
    int invalidations = 0;
    int erasingInvalidations = 0;
    int updates = 0;
    std::map<int, Control> controls;
  };
  struct MessageBoxCall {
    WindowHandle owner;
    std::string text;
    std::string caption;
    std::uint32_t flags;
  };

  WindowHandle CreateDialogWindow(int resourceId, DialogEvents& events) override;
  void ShowWindow(WindowHandle window, int showCommand) override;
  bool SetControlText(WindowHandle dialog, int controlId, const std::string& text) override;
  void SetProgressPosition(WindowHandle dialog, int controlId, int position) override;
  bool InvalidateWindow(WindowHandle window, bool erase) override;
  bool UpdateWindow(WindowHandle window) override;
  WindowHandle ActiveWindow() override { return activeWindow; }
  int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                     std::uint32_t flags) override;
  std::uintptr_t RunMessageLoop(int acceleratorTableId) override;

  // A window with the given controls, as a dialog would have after its initialisation.
  WindowHandle AddWindow(int resourceId, const std::vector<int>& controlIds);
  Window& WindowOf(WindowHandle window) { return windows_.at(window); }
  Control& ControlOf(WindowHandle window, int controlId) {
    return windows_.at(window).controls.at(controlId);
  }

  // Set by the test.
  bool refuseDialogs = false;
  std::deque<int> messageBoxAnswers;  // answered in turn; kAnswerOk once the script runs out
  std::uintptr_t loopResult = 0;
  WindowHandle activeWindow = WindowHandle::none;

  // Recorded.
  std::vector<int> createdDialogs;
  std::vector<MessageBoxCall> messageBoxes;
  std::vector<int> messageLoops;  // the accelerator table of each loop run

 private:
  Window* Find(WindowHandle window);

  std::map<WindowHandle, Window> windows_;
  std::uintptr_t nextWindow_ = 0x1000;
};
