#pragma once

#include <string>
#include <vector>

#include "fake_machine.h"
#include "resources/resource.h"
#include "run/program.h"

// A dialog of the program opened on the fake machine, as the entry point opens it.
class DialogFixture {
 public:
  explicit DialogFixture(RunMode mode, int resourceId = IDD_SETUP) {
    state.runMode = mode;
    state.startDirectory = "C:\\";
    window = fake.dialogs.CreateDialogWindow(resourceId, dialog);
    fake.dialogs.activeWindow = window;
  }

  FakeDialogView::Window& Control(int id) { return fake.dialogs.ControlOf(window, id); }
  bool Visible(int id) { return Control(id).visible && Control(id).enabled; }
  std::string Text(int id) {
    return fake.dialogs.WindowText(fake.dialogs.GetControl(window, id), 4096).value_or("<none>");
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const auto& box : fake.dialogs.messageBoxes) {
      texts.push_back(box.text);
    }
    return texts;
  }
  std::string Log() { return fake.files.Content("C:\\Halvorn NembricAI  Setup v10.1.3.Log").value_or(""); }

  FakeMachine fake;
  Program program{fake.machine};
  SetupState& state = program.state;
  SetupComponents& steps = program.steps;
  SetupDialog& dialog = program.dialog;
  DialogContext& ui = program.dialog.context;
  WindowHandle window = WindowHandle::none;
};
