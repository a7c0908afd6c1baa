#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Every text the setup keeps is UTF-8; Windows takes and gives UTF-16 at the adapters. These are the rules
// both sides agree on: what is valid, and where a text may be cut.

// The longest start of the text that fits in maxBytes and ends between two characters, so a cut never
// leaves half a character that no wide call would take.
std::string_view CutUtf8(std::string_view text, std::size_t maxBytes);

// The text with each byte that is not part of a valid UTF-8 character written as '?', for a line that
// names what came from outside (a cabinet's entry name, say).
std::string PrintableUtf8(std::string_view text);

// Strict conversions as Windows makes them with MB_ERR_INVALID_CHARS and WC_ERR_INVALID_CHARS: overlong
// forms, encoded surrogates, code points past U+10FFFF and half surrogate pairs give nullopt.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);
