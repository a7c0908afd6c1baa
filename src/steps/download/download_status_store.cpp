#include "steps/download/download_status_store.h"

#include <charconv>

#include "core/port_guards.h"
#include "product/download_context.h"

namespace {

constexpr char kSoftwareKey[] = "Software";
constexpr char kUpdateKey[] = "Update";
constexpr char kStatusValue[] = "DownloadStatus";
// The count before the mask: the record has always held 0 there.
constexpr char kRecordedCount[] = "0";
constexpr std::uint32_t kWriteAccess = Registry::kRead | Registry::kSetValue | Registry::kCreateSubKey;

// The number after the last ";" of the text; 0 when there is none.
std::uint32_t RecordedMask(const std::string& status) {
  const std::size_t separator = status.rfind(';');
  if (separator == std::string::npos) {
    return 0;
  }
  std::uint32_t mask = 0;
  const char* first = status.data() + separator + 1;
  std::from_chars(first, status.data() + status.size(), mask);
  return mask;
}

}  // namespace

DownloadStatusStore::DownloadStatusStore(DownloadContext& run) : run_(run) {
  run.machine.runtime.RevertToSelf();
}

UniqueKey DownloadStatusStore::OpenProductKey(std::uint32_t access) {
  Registry& registry = run_.machine.registry;
  UniqueKey product(registry);
  if (companyKeyName.empty() || productKeyName.empty()) {
    return product;
  }
  UniqueKey software(registry);
  if (registry.OpenKey(RegistryKey::localMachine, kSoftwareKey, access, software.Receive()) ==
      Registry::kSuccess) {
    registry.CreateKey(software.get(), companyKeyName + "\\" + productKeyName, access, product.Receive());
  }
  return product;
}

UniqueKey DownloadStatusStore::OpenUpdateKey(std::uint32_t access) {
  Registry& registry = run_.machine.registry;
  const UniqueKey product = OpenProductKey(access);
  UniqueKey update(registry);
  if (product.IsOpen()) {
    registry.CreateKey(product.get(), kUpdateKey, access, update.Receive());
  }
  return update;
}

bool DownloadStatusStore::ReadDownloadStatus(std::string& status) {
  const UniqueKey update = OpenUpdateKey(Registry::kRead);
  if (!update.IsOpen()) {
    return false;
  }
  RegistryValue value;
  if (run_.machine.registry.QueryValue(update.get(), kStatusValue, value) != Registry::kSuccess ||
      value.type != Registry::kTypeString || value.data.size() > kMaxStatusBytes) {
    return false;
  }
  status = value.data.substr(0, value.data.find('\0'));
  return true;
}

bool DownloadStatusStore::WriteDownloadStatus(const std::optional<std::string>& status) {
  const UniqueKey update = OpenUpdateKey(kWriteAccess);
  if (!update.IsOpen()) {
    return false;
  }
  if (!status) {
    return run_.machine.registry.DeleteValue(update.get(), kStatusValue) == Registry::kSuccess;
  }
  RegistryValue value{Registry::kTypeString, *status};
  value.data += '\0';
  return run_.machine.registry.SetValue(update.get(), kStatusValue, value) == Registry::kSuccess;
}

void DownloadStatusStore::RecordPackage(PackageBits bits) {
  std::string status = " ";
  ReadDownloadStatus(status);
  WriteDownloadStatus(std::string(kRecordedCount) + ";" +
                      std::to_string(RecordedMask(status) | BitsOf(bits)));
}
