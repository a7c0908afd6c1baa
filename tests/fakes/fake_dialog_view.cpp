#include "fake_dialog_view.h"

#include <algorithm>
#include <cctype>

#include "resources/resource.h"

namespace {

struct TemplateControl {
  int id;
  const char* className;
  const char* text;
  int width;  // dialog units
  bool tabStop;
};

// The controls of the two dialogs in their template order, as the resource script has them.
const std::vector<TemplateControl>& TemplateOf(int resourceId) {
  static const std::vector<TemplateControl> setup = {
      {133, "Static", "Setup Type", 50, false},
      {119, "ComboBox", "", 50, true},
      {126, "Static", "BitSize", 50, false},
      {116, "ComboBox", "", 50, true},
      {127, "Static", "Client Directory", 50, false},
      {120, "ComboBox", "", 250, true},
      {128, "Static", "Server Directory", 50, false},
      {114, "ComboBox", "", 250, true},
      {115, "Button", " Search ", 30, true},
      {129, "Static", "Edition", 34, false},
      {125, "ComboBox", "", 50, true},
      {130, "Static", "Port", 34, false},
      {117, "Edit", "", 30, true},
      {131, "Static", "Hosts", 34, false},
      {118, "Edit", "", 135, true},
      {132, "Static", "Install SQL Server", 100, false},
      {124, "ComboBox", "", 40, true},
      {134, "Static", "Enter Your Password", 100, false},
      {122, "Edit", "", 80, true},
      {135, "Static", "Re-enter Password", 130, false},
      {123, "Edit", "", 80, true},
      {137, "Static", "Proxy Server", 100, false},
      {138, "Edit", "", 135, true},
      {1, "Button", "OK", 30, true},
      {2, "Button", " Cancel ", 30, true},
      {136, "Button", " Dark Mode ", 50, true},
      {139, "Button", " Proxy ", 30, true},
  };
  static const std::vector<TemplateControl> maintenance = {
      {2005, "Button", "Select Action", 230, false},
      {2001, "Button", "&Uninstall", 60, true},
      {2002, "Button", "&Repair", 60, true},
      {2006, "Button", "Apply To", 230, false},
      {2003, "Button", "Server", 60, true},
      {2004, "Button", "Client", 60, true},
      {1, "Button", "OK", 50, true},
      {2, "Button", "Cancel", 50, true},
      {136, "Button", " Dark Mode ", 50, true},
  };
  static const std::vector<TemplateControl> none;
  return resourceId == IDD_SETUP ? setup : resourceId == IDD_MAINTENANCE ? maintenance : none;
}

constexpr int kComboEditId = 1001;
constexpr int kComboListId = 1000;
constexpr int kDropDownButtonWidth = 17;

bool SameClass(const std::string& a, const char* b) {
  return std::equal(a.begin(), a.end(), b, b + std::char_traits<char>::length(b), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

FakeDialogView::Window* FakeDialogView::Find(WindowHandle window) {
  const auto found = windows_.find(window);
  return found == windows_.end() ? nullptr : &found->second;
}

WindowHandle FakeDialogView::Add(Window window) {
  const auto handle = static_cast<WindowHandle>(nextWindow_++);
  windows_[handle] = std::move(window);
  return handle;
}

FakeDialogView::Window* FakeDialogView::TextOwner(WindowHandle window) {
  Window* found = Find(window);
  if (found != nullptr && found->id == kComboEditId) {
    Window* parent = Find(found->parent);
    if (parent != nullptr && SameClass(parent->className, "ComboBox")) {
      return parent;
    }
  }
  return found;
}

WindowHandle FakeDialogView::AddWindow(int resourceId, const std::vector<int>& controlIds) {
  Window dialog;
  dialog.resourceId = resourceId;
  dialog.className = "#32770";
  dialog.visible = false;
  dialog.place = Rect{0, 0, 675, 341};
  const WindowHandle handle = Add(dialog);
  for (const int id : controlIds) {
    Window control;
    control.parent = handle;
    control.id = id;
    control.className = "Static";
    Add(control);
  }
  return handle;
}

WindowHandle FakeDialogView::CreateDialogWindow(int resourceId, DialogEvents& events) {
  createdDialogs.push_back(resourceId);
  // CreateDialogParam fails for a template the exe's resources do not hold.
  if (refuseDialogs ||
      (resourceId != IDD_SETUP && resourceId != IDD_MAINTENANCE && resourceId != IDD_PASSIVE)) {
    lastCreateError = refusedError;
    return WindowHandle::none;
  }
  const WindowHandle dialog = AddWindow(resourceId, {});
  // The setup's templates: WS_POPUP | WS_CAPTION, and WS_SYSMENU but for the passive window.
  Find(dialog)->style = 0x80C00000U | (resourceId == IDD_PASSIVE ? 0U : 0x00080000U);
  for (const TemplateControl& item : TemplateOf(resourceId)) {
    Window control;
    control.parent = dialog;
    control.id = item.id;
    control.className = item.className;
    control.text = item.text;
    control.tabStop = item.tabStop;
    control.place = Rect{0, 0, item.width * 3 / 2, 24};
    if (control.className == "ComboBox") {
      control.style = 0x2;  // CBS_DROPDOWN
    }
    const WindowHandle handle = Add(control);
    if (control.className == "ComboBox") {
      Window edit;
      edit.parent = handle;
      edit.id = kComboEditId;
      edit.className = "Edit";
      Add(edit);
      Window list;
      list.parent = handle;
      list.id = kComboListId;
      list.className = "ComboLBox";
      list.visible = false;
      Add(list);
    }
  }
  events.OnInitDialog(dialog);
  return dialog;
}

void FakeDialogView::ShowWindow(WindowHandle window, int showCommand) {
  if (Window* found = Find(window)) {
    found->shown = true;
    found->visible = true;
    found->showCommand = showCommand;
  }
}

Rect FakeDialogView::ClientRect(WindowHandle window) {
  const Window* found = Find(window);
  return found == nullptr ? Rect{} : found->place;
}

bool FakeDialogView::MoveControl(WindowHandle dialog, int controlId, const Rect& place) {
  Window* control = Find(GetControl(dialog, controlId));
  if (control == nullptr) {
    return false;
  }
  control->place = place;
  return true;
}

int FakeDialogView::WindowDpi(WindowHandle window) {
  return Find(window) == nullptr ? 96 : dpi;
}

void FakeDialogView::UseDialogFont(WindowHandle dialog, WindowHandle control) {
  Window* found = Find(control);
  if (found != nullptr && Find(dialog) != nullptr) {
    found->dialogFont = true;
  }
}

bool FakeDialogView::InvalidateWindow(WindowHandle window, bool erase) {
  // InvalidateRect with no window invalidates and redraws every window of the desktop.
  if (window == WindowHandle::none) {
    ++desktopRepaints;
    return true;
  }
  Window* found = Find(window);
  if (found == nullptr) {
    return false;
  }
  ++found->invalidations;
  found->erasingInvalidations += erase ? 1 : 0;
  return true;
}

bool FakeDialogView::UpdateWindow(WindowHandle window) {
  Window* found = Find(window);
  if (found == nullptr) {
    return false;
  }
  ++found->updates;
  return true;
}

void FakeDialogView::RedrawAll(WindowHandle window) {
  // RedrawWindow with no window redraws the desktop window.
  if (window == WindowHandle::none) {
    ++desktopRepaints;
  }
  if (Window* found = Find(window)) {
    ++found->redraws;
  }
}

std::uintptr_t FakeDialogView::RunMessageLoop(int acceleratorTableId, WindowHandle keyboardDialog) {
  messageLoops.push_back(acceleratorTableId);
  keyboardDialogs.push_back(keyboardDialog);
  return loopResult;
}

WindowHandle FakeDialogView::GetControl(WindowHandle dialog, int controlId) {
  for (const auto& [handle, window] : windows_) {
    if (window.parent == dialog && window.id == controlId && dialog != WindowHandle::none) {
      return handle;
    }
  }
  return WindowHandle::none;
}

int FakeDialogView::ControlId(WindowHandle control) {
  const Window* found = Find(control);
  return found == nullptr ? 0 : found->id;
}

WindowHandle FakeDialogView::Parent(WindowHandle window) {
  const Window* found = Find(window);
  return found == nullptr ? WindowHandle::none : found->parent;
}

std::optional<std::string> FakeDialogView::ClassName(WindowHandle window, std::size_t maxChars) {
  const Window* found = Find(window);
  if (found == nullptr) {
    return std::nullopt;
  }
  return found->className.substr(0, maxChars);
}

std::uint32_t FakeDialogView::Style(WindowHandle window) {
  const Window* found = Find(window);
  return found == nullptr ? 0 : found->style;
}

std::optional<std::string> FakeDialogView::WindowText(WindowHandle window, std::size_t maxChars) {
  const Window* owner = TextOwner(window);
  if (owner == nullptr) {
    return std::nullopt;
  }
  return owner->text.substr(0, maxChars);
}

bool FakeDialogView::SetText(WindowHandle window, const std::string& text) {
  Window* owner = TextOwner(window);
  if (owner == nullptr) {
    return false;
  }
  owner->text = text;
  return true;
}

bool FakeDialogView::SetControlText(WindowHandle dialog, int controlId, const std::string& text) {
  controlTexts.emplace_back(controlId, text);
  return SetText(GetControl(dialog, controlId), text);
}

void FakeDialogView::SetVisible(WindowHandle window, bool visible) {
  if (Window* found = Find(window)) {
    found->visible = visible;
  }
}

void FakeDialogView::SetEnabled(WindowHandle window, bool enabled) {
  if (Window* found = Find(window)) {
    found->enabled = enabled;
  }
}

WindowHandle FakeDialogView::CreateChild(WindowHandle parent, const std::u16string& className,
                                         std::uint32_t style, Rect place, int controlId) {
  if (Find(parent) == nullptr) {
    return WindowHandle::none;
  }
  Window control;
  control.parent = parent;
  control.id = controlId;
  control.className = std::string(className.begin(), className.end());
  control.style = style;
  control.visible = (style & kStyleVisible) != 0;
  control.place = place;
  return Add(control);
}

void FakeDialogView::RemoveTheme(WindowHandle window) {
  if (Window* found = Find(window)) {
    found->themeRemoved = true;
  }
}

void FakeDialogView::SubclassField(WindowHandle window, int subclassId, FieldEvents& events) {
  if (Window* found = Find(window)) {
    found->subclassIds.insert(subclassId);
    found->fieldEvents = &events;
  }
}

void FakeDialogView::CloseDropDown(WindowHandle combo) {
  if (Window* found = Find(combo)) {
    found->dropDownOpen = false;
  }
}

void FakeDialogView::ResetContent(WindowHandle combo) {
  if (Window* found = Find(combo)) {
    found->items.clear();
    found->selection = -1;
    found->text.clear();
  }
}

int FakeDialogView::InsertItem(WindowHandle combo, int index, const std::string& text) {
  Window* found = Find(combo);
  if (found == nullptr || index < -1 || index > static_cast<int>(found->items.size())) {
    return -1;
  }
  const auto at = index == -1 ? found->items.end() : found->items.begin() + index;
  found->items.insert(at, text);
  return index == -1 ? static_cast<int>(found->items.size()) - 1 : index;
}

int FakeDialogView::SelectItem(WindowHandle combo, int index) {
  Window* found = Find(combo);
  if (found == nullptr || index < 0 || index >= static_cast<int>(found->items.size())) {
    if (found != nullptr) {
      found->selection = -1;
    }
    return -1;
  }
  found->selection = index;
  found->text = found->items[static_cast<std::size_t>(index)];
  return index;
}

int FakeDialogView::SelectedItem(WindowHandle combo) {
  const Window* found = Find(combo);
  return found == nullptr ? -1 : found->selection;
}

std::optional<std::string> FakeDialogView::ItemText(WindowHandle combo, int index) {
  const Window* found = Find(combo);
  if (found == nullptr || index < 0 || index >= static_cast<int>(found->items.size())) {
    return std::nullopt;
  }
  return found->items[static_cast<std::size_t>(index)];
}

std::optional<DialogView::ComboParts> FakeDialogView::ComboBoxParts(WindowHandle combo) {
  const Window* found = Find(combo);
  if (found == nullptr || !SameClass(found->className, "ComboBox")) {
    return std::nullopt;
  }
  ComboParts parts;
  for (const auto& [handle, window] : windows_) {
    if (window.parent == combo && window.id == kComboEditId) {
      parts.edit = handle;
    }
    if (window.parent == combo && window.id == kComboListId) {
      parts.list = handle;
    }
  }
  return parts;
}

std::optional<bool> FakeDialogView::OnDropDownButton(WindowHandle combo, WindowHandle receiving, int x,
                                                     int /*y*/) {
  const Window* found = Find(combo);
  if (found == nullptr || !SameClass(found->className, "ComboBox")) {
    return std::nullopt;
  }
  // The edit part starts 3 pixels into the combo box.
  const int comboX = receiving == combo ? x : x + 3;
  return comboX >= found->place.right - kDropDownButtonWidth;
}

void FakeDialogView::CheckRadioButton(WindowHandle dialog, int firstId, int lastId, int checkId) {
  for (int id = firstId; id <= lastId; ++id) {
    if (Window* found = Find(GetControl(dialog, id))) {
      found->checked = id == checkId;
    }
  }
}

bool FakeDialogView::IsChecked(WindowHandle dialog, int controlId) {
  const Window* found = Find(GetControl(dialog, controlId));
  return found != nullptr && found->checked;
}

bool FakeDialogView::EndDialog(WindowHandle dialog, std::intptr_t result) {
  Window* found = Find(dialog);
  if (found == nullptr) {
    return false;
  }
  found->shown = false;
  endedDialogs.push_back(result);
  return true;
}

void FakeDialogView::SetProgressRange(WindowHandle dialog, int controlId, int low, int high) {
  if (Window* found = Find(GetControl(dialog, controlId))) {
    found->progressLow = low;
    found->progressHigh = high;
  }
}

void FakeDialogView::SetProgressPosition(WindowHandle dialog, int controlId, int position) {
  if (Window* found = Find(GetControl(dialog, controlId))) {
    found->position = position;
  }
}

void FakeDialogView::SelectAllText(WindowHandle window) {
  if (Window* found = Find(window)) {
    found->textSelected = true;
  }
}

std::vector<WindowHandle> FakeDialogView::TabStops(WindowHandle dialog) {
  std::vector<WindowHandle> stops;
  for (const auto& [handle, window] : windows_) {
    if (window.parent == dialog && window.tabStop && window.visible && window.enabled) {
      stops.push_back(handle);
    }
  }
  return stops;  // handles grow in template order
}

void FakeDialogView::NextDialogControl(WindowHandle dialog, WindowHandle control) {
  if (control != WindowHandle::none) {
    madeCurrent.push_back(control);
    focus = control;
    return;
  }
  const std::vector<WindowHandle> stops = TabStops(dialog);
  if (stops.empty()) {
    return;
  }
  WindowHandle current = focus;
  if (const Window* found = Find(current); found != nullptr && found->parent != dialog) {
    current = found->parent;  // the edit part of a combo box
  }
  const auto at = std::find(stops.begin(), stops.end(), current);
  focus = at == stops.end() || at + 1 == stops.end() ? stops.front() : *(at + 1);
  if (const std::optional<ComboParts> parts = ComboBoxParts(focus);
      parts && parts->edit != WindowHandle::none) {
    focus = parts->edit;
  }
}

BrushHandle FakeDialogView::CreateSolidBrush(std::uint32_t colour) {
  const auto brush = static_cast<BrushHandle>(nextBrush_++);
  liveBrushes[brush] = colour;
  return brush;
}

bool FakeDialogView::AddSystemMenuItem(WindowHandle dialog, int command, const std::string& text) {
  constexpr std::uint32_t kSystemMenuStyle = 0x00080000;  // WS_SYSMENU
  Window* found = Find(dialog);
  // Windows gives no window menu to a window without one; a command among the system's own, or with low
  // bits that WM_SYSCOMMAND does not carry, would never come back as itself.
  if (found == nullptr || (found->style & kSystemMenuStyle) == 0 || command <= 0 || command >= 0xF000 ||
      (command & 0xF) != 0) {
    return false;
  }
  found->systemMenu.emplace_back(command, text);
  return true;
}

int FakeDialogView::ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                                   std::uint32_t flags) {
  messageBoxes.push_back({owner, text, caption, flags});
  if (messageBoxAnswers.empty()) {
    return kAnswerOk;
  }
  const int answer = messageBoxAnswers.front();
  messageBoxAnswers.pop_front();
  return answer;
}

int FakeDialogView::FocusedControlId() {
  const Window* found = Find(focus);
  if (found == nullptr) {
    return 0;
  }
  const Window* parent = Find(found->parent);
  return parent != nullptr && SameClass(parent->className, "ComboBox") ? parent->id : found->id;
}

void FakeDialogView::Type(WindowHandle dialog, int controlId, const std::string& text) {
  const WindowHandle control = GetControl(dialog, controlId);
  SetText(control, text);
  const std::optional<ComboParts> parts = ComboBoxParts(control);
  focus = parts && parts->edit != WindowHandle::none ? parts->edit : control;
}

bool FakeDialogView::PressKey(WindowHandle dialog, int controlId, int virtualKey, bool altDown) {
  WindowHandle receiving = GetControl(dialog, controlId);
  if (const std::optional<ComboParts> parts = ComboBoxParts(receiving);
      parts && parts->edit != WindowHandle::none) {
    receiving = parts->edit;
  }
  const Window* found = Find(receiving);
  if (found == nullptr || found->fieldEvents == nullptr) {
    return false;
  }
  focus = receiving;
  FieldEvents& events = *found->fieldEvents;
  events.OnFieldKeyDown(receiving, *found->subclassIds.begin(), virtualKey, altDown);
  events.OnFieldKeyUp(receiving, *found->subclassIds.begin(), virtualKey);
  return true;
}

bool FakeDialogView::ClickDropDown(WindowHandle dialog, int controlId, bool onButton) {
  const WindowHandle combo = GetControl(dialog, controlId);
  const Window* found = Find(combo);
  if (found == nullptr || found->fieldEvents == nullptr) {
    return false;
  }
  const int x = onButton ? found->place.right - 5 : 10;
  const bool down = found->fieldEvents->OnFieldMouseButton(combo, controlId, x, 8);
  const bool up = found->fieldEvents->OnFieldMouseButton(combo, controlId, x, 8);
  if (!down && !up && onButton) {
    Find(combo)->dropDownOpen = true;
  }
  return down || up;
}
