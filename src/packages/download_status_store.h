#pragma once

#include <string>

struct SetupContext;

// Keeps the record of which server packages were downloaded, below the product's registry key. Made with
// empty key names. Making it drops any impersonation of the thread, so the process runs under its own
// token from the start.
class DownloadStatusStore {
 public:
  explicit DownloadStatusStore(SetupContext& context);

  SetupContext& owner;
  std::string companyKeyName;
  std::string productKeyName;
};
