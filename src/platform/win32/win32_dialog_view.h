#pragma once

#include "platform/dialog_view.h"

struct HINSTANCE__;

class Win32DialogView final : public DialogView {
 public:
  // The instance whose resources hold the dialogs and the accelerator table.
  explicit Win32DialogView(HINSTANCE__* instance) : instance_(instance) {}

  WindowHandle CreateDialogWindow(int resourceId, DialogEvents& events) override;
  std::uint32_t LastCreateError() override { return lastCreateError_; }
  void ShowWindow(WindowHandle window, int showCommand) override;
  Rect ClientRect(WindowHandle window) override;
  int WindowDpi(WindowHandle window) override;
  void UseDialogFont(WindowHandle dialog, WindowHandle control) override;
  bool MoveControl(WindowHandle dialog, int controlId, const Rect& place) override;
  bool InvalidateWindow(WindowHandle window, bool erase) override;
  bool UpdateWindow(WindowHandle window) override;
  void RedrawAll(WindowHandle window) override;
  WindowHandle ActiveWindow() override;
  std::uintptr_t RunMessageLoop(int acceleratorTableId, WindowHandle keyboardDialog) override;

  WindowHandle GetControl(WindowHandle dialog, int controlId) override;
  int ControlId(WindowHandle control) override;
  WindowHandle Parent(WindowHandle window) override;
  bool IsWindow(WindowHandle window) override;
  std::optional<std::string> ClassName(WindowHandle window, std::size_t maxChars) override;
  std::uint32_t Style(WindowHandle window) override;
  std::optional<std::string> WindowText(WindowHandle window, std::size_t maxChars) override;
  bool SetText(WindowHandle window, const std::string& text) override;
  bool SetControlText(WindowHandle dialog, int controlId, const std::string& text) override;
  void SetVisible(WindowHandle window, bool visible) override;
  void SetEnabled(WindowHandle window, bool enabled) override;
  WindowHandle CreateChild(WindowHandle parent, const std::u16string& className, std::uint32_t style,
                           Rect place, int controlId) override;
  void InitCommonControls(std::uint32_t classes) override;
  void RemoveTheme(WindowHandle window) override;
  void SubclassField(WindowHandle window, int subclassId, FieldEvents& events) override;

  void CloseDropDown(WindowHandle combo) override;
  void ResetContent(WindowHandle combo) override;
  int InsertItem(WindowHandle combo, int index, const std::string& text) override;
  int SelectItem(WindowHandle combo, int index) override;
  int SelectedItem(WindowHandle combo) override;
  std::optional<std::string> ItemText(WindowHandle combo, int index) override;
  int ListSelectedItem(WindowHandle list) override;
  std::optional<std::string> ListItemText(WindowHandle list, int index) override;
  std::optional<ComboParts> ComboBoxParts(WindowHandle combo) override;
  std::optional<bool> OnDropDownButton(WindowHandle combo, WindowHandle receiving, int x, int y) override;
  void CheckRadioButton(WindowHandle dialog, int firstId, int lastId, int checkId) override;
  bool IsChecked(WindowHandle dialog, int controlId) override;
  bool AddSystemMenuItem(WindowHandle dialog, int command, const std::string& text) override;
  bool EndDialog(WindowHandle dialog, std::intptr_t result) override;
  void SetProgressRange(WindowHandle dialog, int controlId, int low, int high) override;
  void SetProgressPosition(WindowHandle dialog, int controlId, int position) override;

  void SetFocus(WindowHandle window) override;
  void SelectAllText(WindowHandle window) override;
  void NextDialogControl(WindowHandle dialog, WindowHandle control) override;

  BrushHandle CreateSolidBrush(std::uint32_t colour) override;
  void DeleteBrush(BrushHandle brush) override;
  void SetTextColour(DeviceContext context, std::uint32_t colour) override;
  void SetTransparentBackground(DeviceContext context) override;

  int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                     std::uint32_t flags) override;

 private:
  HINSTANCE__* instance_;
  std::uint32_t lastCreateError_ = 0;
};
