#pragma once

#include <string>

struct SetupContext;

// The client side of a setup: runtime check, client package download and extraction.
class ClientSetup {
 public:
  explicit ClientSetup(SetupContext& context) : owner(context) {}

  SetupContext& owner;
  // Where client packages are saved before they are run or extracted.
  std::string updateDirectory;
  // The installer package that the next installer run starts.
  std::string installerName;
};
