#include "fake_installer_database.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::uint32_t kSuccess = 0;
constexpr std::uint32_t kInvalidHandle = 6;      // ERROR_INVALID_HANDLE
constexpr std::uint32_t kOpenFailed = 110;       // ERROR_OPEN_FAILED
constexpr std::uint32_t kBadQuery = 1615;        // ERROR_BAD_QUERY_SYNTAX
constexpr std::uint32_t kFunctionFailed = 1627;  // ERROR_FUNCTION_FAILED
constexpr char kQueryStart[] = "SELECT `Value` FROM `Property` WHERE `Property`='";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::uint32_t FakeInstallerDatabase::OpenDatabase(const std::string& package, MsiHandle& database) {
  const auto found = std::find_if(packages.begin(), packages.end(),
                                  [&](const auto& entry) { return Lower(entry.first) == Lower(package); });
  if (found == packages.end()) {
    return kOpenFailed;
  }
  database = static_cast<MsiHandle>(next_++);
  open_[database] = {found->first, {}, false, false};
  return kSuccess;
}

std::uint32_t FakeInstallerDatabase::OpenView(MsiHandle database, const std::string& query, MsiHandle& view) {
  const auto found = open_.find(database);
  if (found == open_.end()) {
    return kInvalidHandle;
  }
  const std::string start = kQueryStart;
  if (!query.starts_with(start) || !query.ends_with("'") || query.size() <= start.size() + 1) {
    return kBadQuery;
  }
  view = static_cast<MsiHandle>(next_++);
  open_[view] = {found->second.package, query.substr(start.size(), query.size() - start.size() - 1), false,
                 false};
  return kSuccess;
}

std::uint32_t FakeInstallerDatabase::Execute(MsiHandle view) {
  const auto found = open_.find(view);
  if (found == open_.end()) {
    return kInvalidHandle;
  }
  found->second.executed = true;
  return kSuccess;
}

std::uint32_t FakeInstallerDatabase::Fetch(MsiHandle view, MsiHandle& record) {
  const auto found = open_.find(view);
  if (found == open_.end()) {
    return kInvalidHandle;
  }
  if (!found->second.executed) {
    return kFunctionFailed;
  }
  const auto& properties = packages.at(found->second.package);
  const auto value = properties.find(found->second.property);
  if (found->second.fetched || value == properties.end()) {
    return kNoMoreItems;
  }
  found->second.fetched = true;
  record = static_cast<MsiHandle>(next_++);
  open_[record] = {found->second.package, value->second, true, true};
  return kSuccess;
}

std::optional<std::string> FakeInstallerDatabase::RecordString(MsiHandle record, std::uint32_t field) {
  const auto found = open_.find(record);
  if (found == open_.end() || field != 1) {
    return std::nullopt;
  }
  return found->second.property;
}

std::uint32_t FakeInstallerDatabase::Close(MsiHandle handle) {
  return open_.erase(handle) != 0 ? kSuccess : kInvalidHandle;
}

bool FakeInstallerDatabase::ProductInstalled(const std::string& productCode) {
  return std::any_of(installedProducts.begin(), installedProducts.end(),
                     [&productCode](const std::string& code) {
                       return code.size() == productCode.size() &&
                              std::equal(code.begin(), code.end(), productCode.begin(), [](char a, char b) {
                                return std::tolower(static_cast<unsigned char>(a)) ==
                                       std::tolower(static_cast<unsigned char>(b));
                              });
                     });
}
