// The install record: whatever the bytes of the file, a record with a known header is read, every line
// read formats back to itself, and the uninstall replays what it read on an in-memory machine without
// failing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fake_machine.h"
#include "journal/install_record.h"
#include "product/product_folders.h"
#include "run/program.h"
#include "steps/undo/product_removal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FakeMachine fake;
  Program program{fake.machine};
  fake.files.AddDirectory("C:\\App\\Update");
  fake.files.SetContent("C:\\App\\readme.txt", "installed");
  fake.files.SetContent(kInstallRecordPath, std::string(reinterpret_cast<const char*>(data), size));
  // A record that begins with a header this setup writes is read; so is one cut before its first line was
  // whole (empty, part of the header, zeros a power cut left), which holds nothing; any other is not.
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t written = text.find_last_not_of('\0');
  text = text.substr(0, written == std::string_view::npos ? 0 : written + 1);
  const bool known = text.starts_with("Nembric setup install record 2\r\n") ||
                     text.starts_with("Nembric setup install record 1\r\n") ||
                     std::string_view("Nembric setup install record 2\r\n").starts_with(text);
  const auto entries = program.state.record.Read();
  if (entries.has_value() != known) {
    std::abort();
  }
  if (!entries) {
    return 0;
  }
  for (const RecordEntry& entry : *entries) {
    const std::string line = FormatRecordLine(entry);
    if (ParseRecordLine(line.substr(0, line.size() - 2)) != entry) {
      std::abort();
    }
  }
  ProductRemoval(program.state).Remove(true, true);
  return 0;
}
