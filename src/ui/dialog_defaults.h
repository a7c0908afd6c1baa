#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the main dialog offers before a person types anything.

// The items of a combo box of the main dialog in their order (item 0 is what the dialog shows first);
// empty for a field without a list of its own.
std::vector<std::string> FieldItems(int controlId);

// The client directory that a BitSize text fills in first; empty for any other text.
std::string FirstClientDirectory(std::string_view bitSize);
