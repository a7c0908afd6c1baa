#pragma once

#include <string>
#include <string_view>
#include <vector>

// Command lines as Windows programs read them: the C runtime (and CommandLineToArgvW) splits the text into
// words at blanks and tabs; a double quote opens or closes a quoted stretch, 2n backslashes before a quote
// stand for n and let the quote count, 2n+1 backslashes stand for n and a literal quote, and backslashes
// before anything else stand for themselves. The first word, the program's own name, ends at the next
// quote when it starts with one, else at the first blank, and knows no escapes.

// One argument written so that a program reads it back whole: unchanged when it holds no blank, tab,
// line break or quote, else in double quotes with its quotes and the backslashes before them escaped.
std::string QuoteArgument(std::string_view argument);

// A command line that names its program first: the full path in double quotes, then, when there are
// arguments, one blank and the arguments as they are.
std::string CommandLineOf(std::string_view program, std::string_view arguments);

// The words a program reads from a command line: its name first, then the arguments.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);
