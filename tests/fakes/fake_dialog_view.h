#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/dialog_view.h"

// In-memory dialogs built from the two dialog templates of the program: windows with their class, text,
// items, visibility, focus; what was painted and redrawn; message boxes answered from a script. A combo
// box has an edit part (ID 1001) and a list part (ID 1000), as Windows gives it; its text is its edit
// part's text.
class FakeDialogView final : public DialogView {
 public:
  struct Window {
    WindowHandle parent = WindowHandle::none;
    int id = 0;
    std::string className;
    std::uint32_t style = 0;
    std::string text;
    bool dialogFont = false;  // drawn in its dialog's font (otherwise the system font)
    bool visible = true;
    bool enabled = true;
    bool tabStop = false;
    std::vector<std::string> items;
    int selection = -1;
    bool dropDownOpen = false;
    bool checked = false;
    bool themeRemoved = false;
    bool textSelected = false;
    std::set<int> subclassIds;
    FieldEvents* fieldEvents = nullptr;
    int progressLow = 0;
    int progressHigh = 100;
    int position = 0;
    Rect place;
    // Dialogs only.
    int resourceId = 0;
    // The items added to the window menu: command and text.
    std::vector<std::pair<int, std::string>> systemMenu;
    bool shown = false;
    int showCommand = -1;
    int invalidations = 0;
    int erasingInvalidations = 0;
    int updates = 0;
    int redraws = 0;
  };
  struct MessageBoxCall {
    WindowHandle owner;
    std::string text;
    std::string caption;
    std::uint32_t flags;
  };

  // Every text a control of a dialog was given, in order: (control ID, text).
  std::vector<std::pair<int, std::string>> controlTexts;

  WindowHandle CreateDialogWindow(int resourceId, DialogEvents& events) override;
  std::uint32_t LastCreateError() override { return lastCreateError; }
  void ShowWindow(WindowHandle window, int showCommand) override;
  Rect ClientRect(WindowHandle window) override;
  int WindowDpi(WindowHandle window) override;
  void UseDialogFont(WindowHandle dialog, WindowHandle control) override;
  bool MoveControl(WindowHandle dialog, int controlId, const Rect& place) override;
  bool InvalidateWindow(WindowHandle window, bool erase) override;
  bool UpdateWindow(WindowHandle window) override;
  void RedrawAll(WindowHandle window) override;
  WindowHandle ActiveWindow() override { return activeWindow; }
  std::uintptr_t RunMessageLoop(int acceleratorTableId, WindowHandle keyboardDialog) override;

  WindowHandle GetControl(WindowHandle dialog, int controlId) override;
  int ControlId(WindowHandle control) override;
  WindowHandle Parent(WindowHandle window) override;
  bool IsWindow(WindowHandle window) override { return Find(window) != nullptr; }
  std::optional<std::string> ClassName(WindowHandle window, std::size_t maxChars) override;
  std::uint32_t Style(WindowHandle window) override;
  std::optional<std::string> WindowText(WindowHandle window, std::size_t maxChars) override;
  bool SetText(WindowHandle window, const std::string& text) override;
  bool SetControlText(WindowHandle dialog, int controlId, const std::string& text) override;
  void SetVisible(WindowHandle window, bool visible) override;
  void SetEnabled(WindowHandle window, bool enabled) override;
  WindowHandle CreateChild(WindowHandle parent, const std::u16string& className, std::uint32_t style,
                           Rect place, int controlId) override;
  void InitCommonControls(std::uint32_t classes) override { commonControls |= classes; }
  void RemoveTheme(WindowHandle window) override;
  void SubclassField(WindowHandle window, int subclassId, FieldEvents& events) override;

  void CloseDropDown(WindowHandle combo) override;
  void ResetContent(WindowHandle combo) override;
  int InsertItem(WindowHandle combo, int index, const std::string& text) override;
  int SelectItem(WindowHandle combo, int index) override;
  int SelectedItem(WindowHandle combo) override;
  std::optional<std::string> ItemText(WindowHandle combo, int index) override;
  int ListSelectedItem(WindowHandle list) override { return SelectedItem(list); }
  std::optional<std::string> ListItemText(WindowHandle list, int index) override {
    return ItemText(list, index);
  }
  std::optional<ComboParts> ComboBoxParts(WindowHandle combo) override;
  std::optional<bool> OnDropDownButton(WindowHandle combo, WindowHandle receiving, int x, int y) override;
  void CheckRadioButton(WindowHandle dialog, int firstId, int lastId, int checkId) override;
  bool IsChecked(WindowHandle dialog, int controlId) override;
  bool EndDialog(WindowHandle dialog, std::intptr_t result) override;
  void SetProgressRange(WindowHandle dialog, int controlId, int low, int high) override;
  void SetProgressPosition(WindowHandle dialog, int controlId, int position) override;

  void SetFocus(WindowHandle window) override { focus = window; }
  void SelectAllText(WindowHandle window) override;
  void NextDialogControl(WindowHandle dialog, WindowHandle control) override;

  BrushHandle CreateSolidBrush(std::uint32_t colour) override;
  void DeleteBrush(BrushHandle brush) override { liveBrushes.erase(brush); }
  void SetTextColour(DeviceContext /*context*/, std::uint32_t colour) override { textColour = colour; }
  void SetTransparentBackground(DeviceContext /*context*/) override { transparentBackground = true; }

  int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                     std::uint32_t flags) override;
  bool AddSystemMenuItem(WindowHandle dialog, int command, const std::string& text) override;

  // --- for the tests
  // A dialog with plain controls of the given IDs (class "Static"), for tests that need no template.
  WindowHandle AddWindow(int resourceId, const std::vector<int>& controlIds);
  Window& WindowOf(WindowHandle window) { return windows_.at(window); }
  Window& ControlOf(WindowHandle dialog, int controlId) { return windows_.at(GetControl(dialog, controlId)); }
  // The combo box or control that holds the focus, as its control ID (0 for none).
  int FocusedControlId();
  // What a person does: types into a field, presses a key in it, clicks on its drop-down button.
  void Type(WindowHandle dialog, int controlId, const std::string& text);
  bool PressKey(WindowHandle dialog, int controlId, int virtualKey, bool altDown = false);
  bool ClickDropDown(WindowHandle dialog, int controlId, bool onButton);

  std::uint32_t lastCreateError = 0;
  // Repaints asked of no window, which Windows makes of every window on the desktop.
  int desktopRepaints = 0;

  // Set by the test.
  bool refuseDialogs = false;
  // What a refused dialog leaves: ERROR_RESOURCE_NAME_NOT_FOUND, as for a template the resources do not hold.
  std::uint32_t refusedError = 1814;
  std::deque<int> messageBoxAnswers;  // answered in turn; kAnswerOk once the script runs out
  std::uintptr_t loopResult = 0;
  WindowHandle activeWindow = WindowHandle::none;

  // Recorded.
  std::vector<int> createdDialogs;
  std::vector<std::intptr_t> endedDialogs;  // the result of each EndDialog
  std::vector<MessageBoxCall> messageBoxes;
  int dpi = 96;                               // every window's, as the display's scaling sets it
  std::vector<int> messageLoops;              // the accelerator table of each loop run
  std::vector<WindowHandle> keyboardDialogs;  // the dialog given the dialog manager's keys, each loop run
  std::uint32_t commonControls = 0;
  WindowHandle focus = WindowHandle::none;
  // The controls made the dialog's current control by name (WM_NEXTDLGCTL with a handle), in order.
  std::vector<WindowHandle> madeCurrent;
  std::map<BrushHandle, std::uint32_t> liveBrushes;
  std::uint32_t textColour = 0;
  bool transparentBackground = false;

 private:
  Window* Find(WindowHandle window);
  WindowHandle Add(Window window);
  // The window whose text a window shows: a combo box's edit part shows the combo box's text.
  Window* TextOwner(WindowHandle window);
  std::vector<WindowHandle> TabStops(WindowHandle dialog);

  std::map<WindowHandle, Window> windows_;
  std::uintptr_t nextWindow_ = 0x1000;
  std::uintptr_t nextBrush_ = 0x5000;
};
