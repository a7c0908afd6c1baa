// Arbitrary bytes read as a cabinet by the host cabinet layer (libmspack) through the setup's own FDI
// callbacks into the in-memory files: whatever the bytes, nothing is written or made outside the
// destination, and every file handle is closed again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fake_machine.h"
#include "run/program.h"
#include "steps/toolkit/cabinet_extraction.h"

namespace {

constexpr char kCabinetFolder[] = "c:\\cab";
constexpr char kDestination[] = "c:\\dest";
constexpr char kLog[] = "c:\\halvorn nembricai  setup v10.1.3.log";

// The path as Windows reads it: "." and ".." resolved, trailing dots and blanks dropped from each part.
std::string Normal(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = path.find('\\', start);
    std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const bool dotsOnly = !part.empty() && part.find_first_not_of(". ") == std::string::npos;
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) {
      part.pop_back();
    }
    if (dotsOnly && path.substr(start, 2) == "..") {
      if (parts.size() > 1) {
        parts.pop_back();
      }
    } else if (!part.empty()) {
      parts.push_back(part);
    }
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  std::string normal;
  for (const std::string& part : parts) {
    normal += (normal.empty() ? "" : "\\") + part;
  }
  return normal;
}

bool Inside(const std::string& path, const std::string& folder) {
  const std::string normal = Normal(path);
  return normal == folder || normal.starts_with(folder + "\\");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FakeMachine fake;
  Program program{fake.machine};
  program.state.startDirectory = "C:\\";
  fake.files.AddDirectory(kDestination);
  fake.files.SetContent(std::string(kCabinetFolder) + "\\fuzz.cab",
                        std::string(reinterpret_cast<const char*>(data), size));
  const std::vector<std::string> foldersBefore = fake.files.DirectoryPaths();
  CopyCabinet(program.state, "fuzz.cab", std::string(kCabinetFolder) + "\\",
              std::string(kDestination) + "\\");
  for (const std::string& file : fake.files.FilePaths()) {
    if (!Inside(file, kDestination) && file != std::string(kCabinetFolder) + "\\fuzz.cab" && file != kLog) {
      std::abort();
    }
  }
  for (const std::string& folder : fake.files.DirectoryPaths()) {
    if (!Inside(folder, kDestination) &&
        std::find(foldersBefore.begin(), foldersBefore.end(), folder) == foldersBefore.end()) {
      std::abort();
    }
  }
  if (fake.files.OpenHandles() > 1) {  // the log may stay open until the run ends
    std::abort();
  }
  return 0;
}
