// The answer file: whatever the bytes, a file that is read gives known keys, single-line values and line
// numbers within the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>

#include "run/answer_file.h"
#include "run/unattended.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto keys = AnswerKeys();
  const auto parsed = ParseAnswerFile(text, keys);
  const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  if (const auto* error = std::get_if<AnswerFileError>(&parsed)) {
    if (error->line > lines || error->reason.empty()) {
      std::abort();
    }
    return 0;
  }
  for (const auto& [key, answer] : std::get<Answers>(parsed)) {
    if (std::find(keys.begin(), keys.end(), key) == keys.end() || answer.line == 0 || answer.line > lines ||
        answer.value.find('\n') != std::string::npos) {
      std::abort();
    }
  }
  AnswerFieldTexts(std::get<Answers>(parsed), "fuzz.ini");
  return 0;
}
