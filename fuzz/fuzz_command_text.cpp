// An argument quoted for a command line (the SQL Server password among them): whatever it holds, the
// program reads it back whole, as one word, and the words around it stay as they were.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/command_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string argument(reinterpret_cast<const char*>(data), size);
  // A command line ends at its first NUL.
  argument = argument.substr(0, argument.find('\0'));
  const std::string line = CommandLineOf("C:\\Program Files\\Nembric\\setup.exe",
                                         "/first " + QuoteArgument("/SAPWD=" + argument) + " /last");
  const std::vector<std::string> words = SplitCommandLine(line);
  if (words != std::vector<std::string>{"C:\\Program Files\\Nembric\\setup.exe", "/first",
                                        "/SAPWD=" + argument, "/last"}) {
    std::abort();
  }
  return 0;
}
