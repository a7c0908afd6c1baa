#include "packages/download_status_store.h"

#include <charconv>

#include "app/setup_context.h"

namespace {

constexpr char kSoftwareKey[] = "Software";
constexpr char kUpdateKey[] = "Update";
constexpr char kStatusValue[] = "DownloadStatus";
constexpr std::uint32_t kWriteAccess = Registry::kRead | Registry::kSetValue | Registry::kCreateSubKey;

// Closes a key when it goes.
class OpenKey {
 public:
  OpenKey(Registry& registry, RegistryKey key) : registry_(registry), key_(key) {}
  ~OpenKey() {
    if (key_ != RegistryKey::none) {
      registry_.CloseKey(key_);
    }
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  RegistryKey get() const { return key_; }

 private:
  Registry& registry_;
  RegistryKey key_;
};

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

DownloadStatusStore::DownloadStatusStore(SetupContext& context) : owner(context) {
  context.machine.runtime.RevertToSelf();
}

RegistryKey DownloadStatusStore::OpenProductKey(std::uint32_t access) {
  if (companyKeyName.empty() || productKeyName.empty()) {
    return RegistryKey::none;
  }
  Registry& registry = owner.machine.registry;
  RegistryKey software = RegistryKey::none;
  if (registry.OpenKey(RegistryKey::localMachine, kSoftwareKey, access, software) != Registry::kSuccess) {
    return RegistryKey::none;
  }
  const OpenKey softwareKey(registry, software);
  RegistryKey product = RegistryKey::none;
  if (registry.CreateKey(software, companyKeyName + "\\" + productKeyName, access, product) !=
      Registry::kSuccess) {
    return RegistryKey::none;
  }
  return product;
}

RegistryKey DownloadStatusStore::OpenUpdateKey(std::uint32_t access) {
  const OpenKey product(owner.machine.registry, OpenProductKey(access));
  if (product.get() == RegistryKey::none) {
    return RegistryKey::none;
  }
  RegistryKey update = RegistryKey::none;
  if (owner.machine.registry.CreateKey(product.get(), kUpdateKey, access, update) != Registry::kSuccess) {
    return RegistryKey::none;
  }
  return update;
}

bool DownloadStatusStore::ReadDownloadStatus(std::string& status) {
  const OpenKey update(owner.machine.registry, OpenUpdateKey(Registry::kRead));
  if (update.get() == RegistryKey::none) {
    return false;
  }
  RegistryValue value;
  if (owner.machine.registry.QueryValue(update.get(), kStatusValue, value) != Registry::kSuccess ||
      value.type != Registry::kTypeString || value.data.size() > kMaxStatusBytes) {
    return false;
  }
  status = value.data.substr(0, value.data.find('\0'));
  return true;
}

bool DownloadStatusStore::WriteDownloadStatus(const std::optional<std::string>& status) {
  const OpenKey update(owner.machine.registry, OpenUpdateKey(kWriteAccess));
  if (update.get() == RegistryKey::none) {
    return false;
  }
  if (!status) {
    return owner.machine.registry.DeleteValue(update.get(), kStatusValue) == Registry::kSuccess;
  }
  RegistryValue value{Registry::kTypeString, *status};
  value.data += '\0';
  return owner.machine.registry.SetValue(update.get(), kStatusValue, value) == Registry::kSuccess;
}

void DownloadStatusStore::RecordPackage(std::uint32_t bits, std::uint32_t count) {
  std::string status = " ";
  ReadDownloadStatus(status);
  WriteDownloadStatus(std::to_string(count) + ";" + std::to_string(RecordedMask(status) | bits));
}
