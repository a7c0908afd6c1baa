#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/iis.h"

// A property's value as the install record keeps it: a type letter, a colon and the value. Text is "t:" and
// the hex digits of its UTF-16 code units, four a unit (so that no blank, tab or comma of it reaches the
// record); a flag is "b:1" or "b:0"; numbers are in decimal after "s:" (16 bits), "i:" (32), "u:" (32,
// unsigned), "l:" (64) or "q:" (64, unsigned).
std::string IisValueText(const IisValue& value);
// The value of such a text; nullopt for anything else (a record is data from the disk).
std::optional<IisValue> ParseIisValueText(std::string_view text);

// The text in double quotes after the prefix: `name="value"` as a configuration file shows an attribute.
std::string Quoted(std::string_view prefix, std::string_view text);
