// The command line: the run-mode keywords, /source= and the switches of an unattended run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "run/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ParseRunMode(text);
  const SourceSwitch source = SplitSourceSwitch(text, 259);
  // A host is only ever a plain name, never longer than its width, and the rest is shorter than the line.
  if (source.host && (source.host->empty() || source.host->size() > 259 ||
                      source.host->find_first_of(" /\\:\"") != std::string::npos)) {
    std::abort();
  }
  if (source.rest.size() > text.size()) {
    std::abort();
  }
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    wide += static_cast<char16_t>(data[i] | (data[i + 1] << 8U));
  }
  const RunSwitches switches = SplitRunSwitches(wide);
  // The rest never grows, and a switch the rest still holds as a word of its own was not taken out.
  if (switches.rest.size() > wide.size()) {
    std::abort();
  }
  TypeSwitchValue(text);
  return 0;
}
