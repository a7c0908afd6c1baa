#include "ui/control_text.h"

#include <algorithm>
#include <cctype>

#include "core/path_text.h"
#include "platform/dialog_view.h"

namespace {

constexpr std::size_t kClassNameChars = 32;

std::optional<std::string> Bounded(std::optional<std::string> text, std::size_t maxChars) {
  if (text && text->size() > maxChars) {
    text->resize(maxChars);
  }
  return text;
}

}  // namespace

bool IsComboBoxClass(std::string_view className) {
  return SameName(className, "ComboBox");
}

bool IsComboBox(DialogView& view, WindowHandle window) {
  constexpr std::size_t kShortClassNameChars = 16;
  return IsComboBoxClass(view.ClassName(window, kShortClassNameChars).value_or(""));
}

std::optional<std::string> ReadControlText(DialogView& view, WindowHandle window, std::size_t maxChars) {
  if (window == WindowHandle::none || !view.IsWindow(window)) {
    return std::nullopt;
  }
  const std::optional<std::string> className = view.ClassName(window, kClassNameChars);
  if (!className) {
    return std::nullopt;
  }
  WindowHandle combo = WindowHandle::none;
  if (IsComboBoxClass(*className)) {
    combo = window;
  } else if (SameName(*className, "Edit") || SameName(*className, "ListBox")) {
    const WindowHandle parent = view.Parent(window);
    if (IsComboBoxClass(view.ClassName(parent, kClassNameChars).value_or(""))) {
      combo = parent;
    }
  }
  if (combo != WindowHandle::none) {
    if ((view.Style(combo) & DialogView::kComboTypeMask) == DialogView::kComboDropDownList) {
      const int selected = view.SelectedItem(combo);
      return selected < 0 ? std::string() : Bounded(view.ItemText(combo, selected), maxChars);
    }
    const std::optional<DialogView::ComboParts> parts = view.ComboBoxParts(combo);
    const WindowHandle edit = parts && parts->edit != WindowHandle::none ? parts->edit : combo;
    return view.WindowText(edit, maxChars);
  }
  if (SameName(*className, "ListBox")) {
    const int selected = view.ListSelectedItem(window);
    return selected < 0 ? std::string() : Bounded(view.ListItemText(window, selected), maxChars);
  }
  return view.WindowText(window, maxChars);
}

std::string ReadFieldText(DialogView& view, WindowHandle dialog, int controlId, std::size_t maxChars) {
  return ReadControlText(view, view.GetControl(dialog, controlId), maxChars).value_or(std::string());
}
