#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/handles.h"

class DialogView;

// Whether a window class is a combo box ("ComboBox", compared without case).
bool IsComboBoxClass(std::string_view className);
// Whether a control is a combo box, by its class name read up to 16 characters.
bool IsComboBox(DialogView& view, WindowHandle window);

// The text of an edit, combo box or list box, at most maxChars characters: for a drop-down-list combo box
// or a list box the selected item (empty when none), for an editable combo box its edit part, for any
// other window its window text. nullopt when the window is gone or cannot be read.
std::optional<std::string> ReadControlText(DialogView& view, WindowHandle window, std::size_t maxChars);

// The text of a control of the dialog, bounded to maxChars characters; empty when there is none.
std::string ReadFieldText(DialogView& view, WindowHandle dialog, int controlId, std::size_t maxChars);
