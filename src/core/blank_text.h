#pragma once

#include <string>
#include <string_view>

// A text counts as blank when it is empty or holds only space characters (0x20); other white space is not
// blank.
bool IsBlankText(std::string_view text);

// A text of `count` blanks; empty for a count below 1.
std::string BlankText(int count);

// A copy of the text without its trailing blanks. The first character is never removed, so a text of
// blanks only keeps one.
std::string TrimTrailingBlanks(std::string_view text);
