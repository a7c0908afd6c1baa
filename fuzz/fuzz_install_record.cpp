// The install record: whatever the bytes of the file, every line read formats back to itself, and the
// uninstall replays what it read on an in-memory machine without failing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

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
  const auto entries = program.state.record.Read();
  if (!entries) {
    std::abort();
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
