#include "core/command_text.h"

#include <gtest/gtest.h>

namespace {

// Whatever an argument holds, a program reads it back whole, and the program's name stays the first word
// even when its folder has blanks.
TEST(CommandText, ArgumentsReadBackWhole) {
  for (const std::string argument :
       {"plain", "", "two words", "tab\there", "quote\"inside", "\"", "ends\\", "ends\\\\", "back\\\"slash",
        "a\\\\b c", "\\\\server\\share\\", "/SAPWD=p\"a s\\s"}) {
    const std::string line =
        CommandLineOf("C:\\Program Files\\Nembric\\setup.exe", QuoteArgument(argument) + " next");
    EXPECT_EQ(SplitCommandLine(line),
              (std::vector<std::string>{"C:\\Program Files\\Nembric\\setup.exe", argument, "next"}))
        << line;
  }
  EXPECT_EQ(QuoteArgument("plain"), "plain");  // ordinary arguments are left as they are
  EXPECT_EQ(SplitCommandLine("/install /quiet"), (std::vector<std::string>{"/install", "/quiet"}));
}

}  // namespace
